#include "fZelReslt.h"

#include "PrintChoice.h"
#include "ResultBrowser.h"
#include "ViewerGlyphs.h"
#include "ViewerHeight.h"
#include "platform/MessageBox.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace viewer {
namespace {

constexpr int kPanelHeight = 28;
constexpr char16_t kEscape = 27;

QToolButton* SpeedButton(QWidget* panel, const char* name, int x, const QIcon& glyph, const QString& hint) {
    auto* button = new QToolButton(panel);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(glyph);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setGeometry(x, 3, 23, 22);
    return button;
}

} // namespace

TfmZelReslt::TfmZelReslt(const QString& resultFileName, PrintChoice& printChoice, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      resultFileName_(resultFileName), printChoice_(printChoice) {
    setObjectName("fmZelReslt");
    setWindowTitle(QStringLiteral("Brinova Vesk+       T E S T    R E S U L T"));
    setSizeGripEnabled(false);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setFixedHeight(kPanelHeight);
    SpeedButton1 = SpeedButton(Panel1, "SpeedButton1", 4, BackGlyph(), QStringLiteral("Go back"));
    SpeedButton2 = SpeedButton(Panel1, "SpeedButton2", 28, ForwardGlyph(), QStringLiteral("Go forward"));
    SpeedButton3 = SpeedButton(Panel1, "SpeedButton3", 60, PrintGlyph(), QStringLiteral("Print"));
    connect(SpeedButton1, &QToolButton::clicked, this, &TfmZelReslt::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfmZelReslt::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TfmZelReslt::SpeedButton3Click);

    brow = new ResultBrowser(this);
    brow->setObjectName("brow");

    bar = new QStatusBar(this);
    bar->setObjectName("bar");
    bar->setSizeGripEnabled(false);
    barSimpleText = new QLabel(bar);
    barSimpleText->setObjectName("barSimpleText");
    // A long address is clipped on screen, never allowed to widen the window.
    barSimpleText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    barSimpleText->setTextFormat(Qt::PlainText);
    bar->addWidget(barSimpleText, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(brow, 1);
    layout->addWidget(bar);

    // The form sees every key before its controls do.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    FormCreate();
}

void TfmZelReslt::FormCreate() {
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, kViewerWidth, 601);
    resize(kViewerWidth, ViewerHeight(area.height()));
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);

    const QString address = QStringLiteral("file://") + resultFileName_;
    barSimpleText->setText(address);
    // The shown address is the caller's text; the browser gets a proper URL of the same file,
    // so that blanks, '#' or '?' in the name stay part of the path.
    brow->Navigate(QUrl::fromLocalFile(QFileInfo(resultFileName_).absoluteFilePath()));
}

void TfmZelReslt::FormKeyPress(QChar& key) {
    if (key == QChar(kEscape)) {
        key = QChar();
        close();
    }
}

void TfmZelReslt::FormClose() {
    // The window frees itself once it has closed.
    setAttribute(Qt::WA_DeleteOnClose);
}

void TfmZelReslt::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

bool TfmZelReslt::PreviewKey(QKeyEvent* event) {
    QChar key = event->key() == Qt::Key_Escape ? QChar(kEscape)
                : event->text().isEmpty()      ? QChar()
                                               : event->text().at(0);
    if (key.isNull()) return false;
    FormKeyPress(key);
    return key.isNull();
}

bool TfmZelReslt::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && PreviewKey(static_cast<QKeyEvent*>(event))) return true;
    return QDialog::eventFilter(watched, event);
}

void TfmZelReslt::keyPressEvent(QKeyEvent* event) {
    if (PreviewKey(event)) return;
    QDialog::keyPressEvent(event);
}

void TfmZelReslt::SpeedButton1Click() {
    brow->GoBack();
}

void TfmZelReslt::SpeedButton2Click() {
    brow->GoForward();
}

void TfmZelReslt::SpeedButton3Click() {
    QPrinter printer(QPrinter::HighResolution);
    if (!printChoice_.Choose(this, printer)) return;
    // The result file itself is printed, read afresh, whatever page is shown.
    // Owned by the browser, the page asks it for any image or style sheet, which it refuses.
    QTextDocument page(brow);
    page.setDefaultFont(brow->document()->defaultFont()); // printed in the face it is shown in
    page.setHtml(ReadResultPage(resultFileName_));
    page.print(&printer);
    // The printer refuses quietly (an output file that cannot be written, a printer gone).
    if (printer.printerState() == QPrinter::Error) TellPrintFailed(printer);
}

void TfmZelReslt::TellPrintFailed(const QPrinter& printer) {
    const QString where = printer.outputFileName().isEmpty()
                              ? QStringLiteral("on the printer \"%1\"").arg(printer.printerName())
                              : QStringLiteral("to the file \"%1\"").arg(printer.outputFileName());
    platform::Messages().Show(this, QStringLiteral("Error"),
                              QStringLiteral("The result page could not be printed %1.").arg(where),
                              platform::MessageIcon::Error, platform::MessageButtons::Ok);
}

} // namespace viewer
