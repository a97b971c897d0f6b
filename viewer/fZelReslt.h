#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPrinter;
class QStatusBar;
class QToolButton;

namespace viewer {

class PrintChoice;
class ResultBrowser;

// The result viewer window: the result page in a browser, with Go back, Go forward and Print.
// It frees itself when it closes.
class TfmZelReslt : public QDialog {
    Q_OBJECT
public:
    // `resultFileName` is the page's path as the caller gave it; `printChoice` asks before printing.
    TfmZelReslt(const QString& resultFileName, PrintChoice& printChoice, QWidget* parent = nullptr);

    QFrame* Panel1;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    ResultBrowser* brow;
    QStatusBar* bar;
    QLabel* barSimpleText; // the status bar's one simple panel

public slots:
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();

protected:
    void FormCreate();
    void FormKeyPress(QChar& key);
    void FormClose();

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool PreviewKey(QKeyEvent* event);
    void TellPrintFailed(const QPrinter& printer);

    QString resultFileName_;
    PrintChoice& printChoice_;
};

} // namespace viewer
