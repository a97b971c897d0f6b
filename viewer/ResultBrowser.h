#pragma once

#include <QTextBrowser>
#include <QUrl>

namespace viewer {

// The page at `fileName` as HTML text. The advice page is Windows-1252 and declares no
// character set, so it is decoded as such; a page that cannot be read, is no plain file or is
// larger than 16 MiB becomes a short error page naming the file. Rules keep the colour the
// page gives them.
QString ReadResultPage(const QString& fileName);

// The viewer's browser: shows file pages, follows their links and keeps the history for
// Go back / Go forward. Every page is read from the file afresh, never from a cache.
class ResultBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ResultBrowser(QWidget* parent = nullptr);

    void Navigate(const QUrl& address);
    // Without history these do nothing.
    void GoBack();
    void GoForward();

    QVariant loadResource(int type, const QUrl& name) override;
};

} // namespace viewer
