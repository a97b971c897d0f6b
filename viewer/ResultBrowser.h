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
// Go back / Go forward. Every page is read from the file afresh, never from a cache. Only the
// page itself, anchors within it and the pages in its own folder are shown; web addresses go
// to the desktop's browser through the shell, every other link gives the error page. No image,
// style sheet or other resource is loaded.
class ResultBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ResultBrowser(QWidget* parent = nullptr);

    // Shows the page at `address`; its folder is the one whose pages may be shown.
    void Navigate(const QUrl& address);
    // Without history these do nothing.
    void GoBack();
    void GoForward();

    QVariant loadResource(int type, const QUrl& name) override;

private:
    void FollowLink(const QUrl& link);
    bool MayShow(const QUrl& address) const;
    void ForgetClickedLink();

    QUrl page_;          // the page of the last Navigate, without its anchor
    QString pageFolder_; // the folder that really holds it
};

} // namespace viewer
