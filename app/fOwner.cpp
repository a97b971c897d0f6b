#include "app/fOwner.h"

#include "app/BrinovaAPI.h"
#include "app/ButtonKeys.h"
#include "app/FormPlacement.h"
#include "platform/Cp1252.h"
#include "ui_fOwner.h"

#include <QApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QShowEvent>

namespace {

constexpr int kOwnerLineCount = 6;
constexpr std::uint8_t kSetupHelpTopic = 4;

} // namespace

QStringList OwnerLines(const QString& text) {
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString OwnerText(const QStringList& lines) {
    QString text;
    for (int i = 0; i < kOwnerLineCount; ++i) {
        QString line = i < lines.size() ? lines[i] : QString();
        line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

TfmOwner::TfmOwner(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::TfmOwner>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    // Enter moves on in the owner block instead of pressing a button.
    for (QPushButton* button : {ui->BitBtn1, ui->BitBtn2, ui->BitBtn3}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TfmOwner::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BitBtn3, &QPushButton::clicked, this, &TfmOwner::BitBtn3Click);
    // Key preview: the form sees every key of its controls first.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    FormCreate();
}

TfmOwner::~TfmOwner() = default;

QList<QLineEdit*> TfmOwner::OwnerEdits() const {
    return {ui->eName, ui->eAddr, ui->eAddr2, ui->eCity, ui->eState, ui->eCountry};
}

void TfmOwner::FormCreate() {
    LoadParameters();
}

void TfmOwner::FormClose() {
    ownerLines_.reset();
}

void TfmOwner::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TfmOwner::LoadParameters() {
    ownerLines_ = std::make_unique<QStringList>(OwnerLines(platform::FromCp1252(ReadOwnerText())));
    const QList<QLineEdit*> edits = OwnerEdits();
    for (int i = 0; i < kOwnerLineCount; ++i)
        edits[i]->setText(i < ownerLines_->size() ? (*ownerLines_)[i] : QString());
    ui->eSavePos->setChecked(ReadSavePosition());
    const bool useViewer = ReadUseViewer();
    ui->eInternal->setChecked(useViewer);
    ui->eDefault->setChecked(!useViewer);
    for (QLineEdit* edit : edits) {
        edit->setEnabled(true);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
        edit->setPalette(palette);
    }
}

void TfmOwner::SaveParameters() {
    ownerLines_->clear();
    for (const QLineEdit* edit : OwnerEdits())
        ownerLines_->append(edit->text());
    WriteOwnerText(platform::ToCp1252(OwnerText(*ownerLines_)));
    WriteSavePosition(ui->eSavePos->isChecked());
    WriteUseViewer(ui->eInternal->isChecked());
}

void TfmOwner::BitBtn1Click() {
    if (ownerLines_) SaveParameters();
    accept();
}

void TfmOwner::BitBtn3Click() {
    ShowHelpTopic(kSetupHelpTopic);
}

bool TfmOwner::FormKeyDown(QKeyEvent& key) {
    if (key.key() != Qt::Key_F1) return false;
    ShowHelpTopic(kSetupHelpTopic);
    return true;
}

bool TfmOwner::EnterNext(QKeyEvent& key) {
    if (!IsEnterKey(key)) return false;
    // A Tab of the form's own: the focus moves as Tab moves it, and the control it lands on
    // shows the focus mark as after Tab.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(this, &tab);
    return true;
}

bool TfmOwner::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto& key = static_cast<QKeyEvent&>(*event);
    if (FormKeyDown(key)) return true;
    const bool movesOnWithEnter =
        watched == ui->eSavePos || OwnerEdits().contains(qobject_cast<QLineEdit*>(watched));
    if (movesOnWithEnter && EnterNext(key)) return true;
    if (PressedByEnter(watched, key, {ui->BitBtn1, ui->BitBtn2, ui->BitBtn3})) return true;
    return QDialog::eventFilter(watched, event);
}

void TfmOwner::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) CentreOnOwnerWindow(*this);
}

void ShowParameters(QWidget* owner) {
    auto* form = new TfmOwner(owner ? owner : QApplication::activeWindow());
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->exec();
}
