#include "app/fAbout.h"

#include "app/BrinovaAPI.h"
#include "app/FormPlacement.h"
#include "ui_fAbout.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShowEvent>

std::string MailboxOf(std::string_view mailtoAddress) {
    constexpr std::string_view kScheme = "mailto:";
    if (mailtoAddress.substr(0, kScheme.size()) == kScheme) mailtoAddress.remove_prefix(kScheme.size());
    return std::string(mailtoAddress.substr(0, mailtoAddress.find('?')));
}

TAbout::TAbout(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::TAbout>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui->Label3->setText(QString::fromLatin1(kHomePageAddress));
    ui->Label4->setText(QStringLiteral("e-Mail: ") + QString::fromStdString(MailboxOf(kContactMailAddress)));
    for (QWidget* link : {ui->Label5, ui->Label3, ui->Label4})
        link->installEventFilter(this);
    connect(ui->Button, &QPushButton::clicked, this, &QDialog::accept);
}

TAbout::~TAbout() = default;

void TAbout::SetVersionText(const QString& text) {
    ui->LabelVer->setText(text);
}

void TAbout::InetClick(QObject* sender) {
    switch (sender ? sender->property("Tag").toInt() : 0) {
    case 1:
        OpenHomePage();
        break;
    case 2:
        OpenContactMail();
        break;
    default:
        break;
    }
}

bool TAbout::eventFilter(QObject* watched, QEvent* event) {
    // A label is clicked when the left button comes up over it.
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto& mouse = static_cast<const QMouseEvent&>(*event);
        const auto* label = static_cast<const QWidget*>(watched);
        if (mouse.button() == Qt::LeftButton && label->rect().contains(mouse.position().toPoint())) {
            InetClick(watched);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAbout::keyPressEvent(QKeyEvent* event) {
    // The one button is the cancel button too: Esc closes with OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->Button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) CentreOnOwnerWindow(*this);
}

void ShowAbout(const QString& versionText, QWidget* owner) {
    auto* form = new TAbout(owner ? owner : QApplication::activeWindow());
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->SetVersionText(versionText);
    form->exec();
}
