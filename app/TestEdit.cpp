#include "TestEdit.h"

#include "ui_TestEdit.h"

#include "LimitedMemo.h"
#include "TestChecks.h"
#include "TestFieldText.h"
#include "app/BrinovaAPI.h"
#include "app/ButtonKeys.h"
#include "app/FormPlacement.h"
#include "engine/uFormula.h"
#include "platform/Cp1252.h"
#include "platform/MessageBox.h"
#include "widgets/CurrEdit.h"
#include "widgets/DateEdit.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QRadioButton>

#include <cmath>

namespace {

constexpr std::uint8_t kInputFieldsTopic = 1;
constexpr int kBodyOnlyShrink = 250; // the height of the page control's room

struct TRadioItems {
    const char* group;
    QStringList items;
    int columns;
};

const std::vector<TRadioItems>& RadioGroupItems() {
    static const std::vector<TRadioItems> groups = {
        {"dbgrBody", {"Pool", "Spa/Hot Tub", "Pond", "Waterscape", "Other"}, 1},
        {"dbgrCelsius", {"Fahrenheit", "Celsius"}, 2},
        {"dbgrOrganic", {"Inorganic", "Organic", "Unknown"}, 1},
        {"dbgrStains", {"Gray/Black", "Brown", "Green/Blue"}, 1},
        {"dbgrOxidizer", {"Potassium Persulfate", "Hydrogen Peroxide", "Ozone", "None"}, 1},
        {"dbgrChlorine",
         {"Sodium hypochl.", "Calcium hypochl.", "Lithium hypochl.", "Dichlor", "Trichlor", "Bromine",
          "Other"},
         1},
        {"dbgrSanitizer",
         {"Chlorine gas", "Liquid chlorine", "Granulated chl.", "Lithium chl.", "Dichlor", "Trichlor",
          "Bromine", "Salt water", "Other"},
         1},
        {"dbgrShock",
         {"Chlorine gas", "Liquid chlorine", "Granulated chl.", "Lithium chl.", "Dichlor", "Trichlor",
          "Bromine", "Ozone", "Salt water", "Other"},
         1},
    };
    return groups;
}

// The readings of the test block with their edits: decimal places, display format (empty: the
// edit's own) and the stored field.
struct TReadingField {
    const char* edit;
    int decimals;
    const char* displayFormat;
    long double TTestData::*field;
};

const std::vector<TReadingField>& ReadingFields() {
    static const std::vector<TReadingField> fields = {
        {"eAlkalinity", 0, "", &TTestData::alkalinity},
        {"ePH", 3, ",0.0##", &TTestData::pH},
        {"eHardness", 0, "", &TTestData::hardness},
        {"eCopper", 3, ",0.0##", &TTestData::copper},
        {"eIron", 3, ",0.0##", &TTestData::iron},
        {"eTDS", 0, "", &TTestData::tds},
        {"eORP", 0, "", &TTestData::orp},
        {"eTotalChlorine", 3, ",0.0##", &TTestData::totalChlorine},
        {"eFree", 3, ",0.0##", &TTestData::freeChlorine},
        {"eChloramines", 3, ",0.0##", &TTestData::chloramines},
        {"eBromine", 3, "", &TTestData::bromine},
        {"eCyanuric", 3, "", &TTestData::cyanuric},
        {"eAcid", 3, "", &TTestData::acidDemand},
        {"eTemperature", 3, "", &TTestData::temperature},
    };
    return fields;
}

constexpr int kReadingTypedLength = 8;

// The stored choice byte: the item index's low byte, as the blocks keep it.
std::uint8_t ChoiceByte(int index) {
    return static_cast<std::uint8_t>(index & 0xFF);
}

int ComboIndexOf(const QComboBox& box, std::uint8_t stored) {
    return stored < box.count() ? stored : -1;
}

QList<QRadioButton*> RadioButtonsOf(const QGroupBox& group) {
    return group.findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

void AddRadioItems(QGroupBox& group, const QStringList& items, int columns) {
    auto* grid = new QGridLayout(&group);
    grid->setContentsMargins(0, 0, 0, 0); // the longest items need every pixel of their group
    grid->setSpacing(0);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], &group);
        button->setObjectName(group.objectName() + QStringLiteral("Item%1").arg(i));
        grid->addWidget(button, i % rows, i / rows);
    }
    SetRadioItemIndex(group, 0);
}

} // namespace

int RadioItemIndex(const QGroupBox& group) {
    const QList<QRadioButton*> buttons = RadioButtonsOf(group);
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked()) return i;
    return -1;
}

void SetRadioItemIndex(QGroupBox& group, int index) {
    const QList<QRadioButton*> buttons = RadioButtonsOf(group);
    for (int i = 0; i < buttons.size(); ++i) {
        // Exclusive buttons cannot be unchecked one by one.
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(i == index);
        buttons[i]->setAutoExclusive(true);
    }
}

TfTestForm::TfTestForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::fTestForm>()) {
    ui_->setupUi(this);
    FormCreate();
}

TfTestForm::~TfTestForm() = default;

widgets::TZlCalcEdit& TfTestForm::Reading(const char* name) const {
    return *findChild<widgets::TZlCalcEdit*>(QString::fromLatin1(name));
}

void TfTestForm::FormCreate() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(580, 433);
    for (const TRadioItems& group : RadioGroupItems())
        AddRadioItems(*findChild<QGroupBox*>(QString::fromLatin1(group.group)), group.items, group.columns);

    for (const TReadingField& reading : ReadingFields()) {
        widgets::TZlCalcEdit& edit = Reading(reading.edit);
        edit.SetDecimalPlaces(reading.decimals);
        if (*reading.displayFormat) edit.SetDisplayFormat(QString::fromLatin1(reading.displayFormat));
        edit.SetMaxLength(kReadingTypedLength);
        edit.SetCtl3D(false); // the readings and the date are flat
    }
    ui_->eDate->SetCtl3D(false);
    ui_->eChloramines->SetReadOnly(true);
    ui_->eVolume->SetDecimalPlaces(0);
    for (widgets::TZlCalcEdit* dimension : {ui_->eWidth, ui_->eLength, ui_->eDepth})
        dimension->SetDecimalPlaces(1);
    PaintEntryFields();
    ui_->eBodyNote->SetMaxLength(126);
    ui_->eTestNote->SetMaxLength(62);
    for (QPushButton* button : {ui_->bShowRes, ui_->bHLP, ui_->bSave, ui_->bCancel}) {
        // Enter moves between the fields; no button may take it as a press.
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // The form's tab order, page by page, then the buttons.
    QList<QWidget*> order;
    const auto addGroup = [&order](QGroupBox* group) {
        for (QRadioButton* button : RadioButtonsOf(*group))
            order << button;
    };
    addGroup(ui_->dbgrBody);
    order << ui_->eVolume << ui_->eVolMetric << ui_->eWidth << ui_->eMetric << ui_->eLength << ui_->eDepth
          << ui_->eBodyNote << ui_->PageControl;
    for (const TReadingField& reading : ReadingFields())
        order << &Reading(reading.edit);
    addGroup(ui_->dbgrCelsius);
    order << ui_->eDate << ui_->eTime << ui_->eTestNote << ui_->eSupplier;
    order << ui_->dbchClear << ui_->cCloudy << ui_->cOdorous << ui_->cAlgae << ui_->cGreen << ui_->cFoaming
          << ui_->cHair << ui_->dbchClean;
    addGroup(ui_->dbgrOrganic);
    addGroup(ui_->dbgrStains);
    addGroup(ui_->dbgrOxidizer);
    order << ui_->dbchChlorine;
    addGroup(ui_->dbgrChlorine);
    addGroup(ui_->dbgrSanitizer);
    addGroup(ui_->dbgrShock);
    order << ui_->bSave << ui_->bCancel << ui_->bShowRes << ui_->bHLP;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    for (QGroupBox* group : {ui_->dbgrBody, ui_->dbgrOxidizer, ui_->dbgrStains, ui_->dbgrOrganic,
                             ui_->dbgrChlorine, ui_->dbgrSanitizer, ui_->dbgrShock, ui_->dbgrCelsius})
        HookGroupKeys(*group);
    for (const TReadingField& reading : ReadingFields())
        HookEnteNext(Reading(reading.edit));
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_->eVolume, ui_->eWidth, ui_->eLength, ui_->eDepth, ui_->eMetric, ui_->eVolMetric, ui_->eDate,
             ui_->eTime, ui_->dbchClear, ui_->cCloudy, ui_->cOdorous, ui_->cAlgae, ui_->cGreen, ui_->cFoaming,
             ui_->cHair, ui_->dbchClean, ui_->dbchChlorine})
        HookEnteNext(*control);

    for (QCheckBox* box : {ui_->dbchClear, ui_->dbchClean, ui_->dbchChlorine})
        connect(box, &QCheckBox::clicked, this, &TfTestForm::dbchClearClick);
    // Toggled, so that a choice made with the arrow keys greys "Stains" too.
    for (QRadioButton* button : RadioButtonsOf(*ui_->dbgrOrganic))
        connect(button, &QRadioButton::toggled, this, &TfTestForm::dbchClearClick);
    connect(ui_->eMetric, &QComboBox::currentIndexChanged, this, &TfTestForm::dbchClearClick);
    connect(ui_->bSave, &QPushButton::clicked, this, &TfTestForm::bSaveClick);
    connect(ui_->bShowRes, &QPushButton::clicked, this, &TfTestForm::bShowResClick);
    connect(ui_->bHLP, &QPushButton::clicked, this, &TfTestForm::bHLPClick);
    connect(ui_->bCancel, &QPushButton::clicked, this, &TfTestForm::bCancelClick);

    // The form sees every key before its controls do (F1, Enter), and the chloramines field's focus.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void TfTestForm::PaintEntryFields() {
    // The entry fields are aqua; the two unit boxes beside length and depth look like buttons.
    const QColor aqua(0, 255, 255);
    for (QWidget* field : findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(field) && !qobject_cast<QPlainTextEdit*>(field) &&
            !qobject_cast<QComboBox*>(field))
            continue;
        QPalette colours = field->palette();
        colours.setColor(QPalette::Base, aqua);
        if (qobject_cast<QComboBox*>(field)) colours.setColor(QPalette::Button, aqua);
        field->setPalette(colours);
    }
    for (QLineEdit* unit : {ui_->Edit1, ui_->Edit2}) {
        QPalette colours = unit->palette();
        colours.setColor(QPalette::Base, colours.color(QPalette::Button));
        unit->setPalette(colours);
    }
}

void TfTestForm::HookGroupKeys(QGroupBox& group) {
    for (QRadioButton* button : RadioButtonsOf(group))
        HookEnteNext(*button);
}

void TfTestForm::HookEnteNext(QWidget& control) {
    if (auto* combo = qobject_cast<widgets::TCustomComboEdit*>(&control)) {
        // The combo edit hands Enter to its open popup first; only a key it passes on moves on.
        connect(
            combo, &widgets::TCustomComboEdit::OnKeyPress, this,
            [this](QChar& key) {
                if (key != u'\r') return;
                key = QChar();
                EnteNext();
            },
            Qt::DirectConnection);
        return;
    }
    enterMovesOn_ << &control;
}

void TfTestForm::EnteNext() {
    // A Tab for the form itself, handled after the current key: the focus moves exactly as Tab moves it.
    QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
}

bool TfTestForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1) {
            ShowHelpTopic(kInputFieldsTopic);
            return true;
        }
        if (IsEnterKey(*key) && enterMovesOn_.contains(watched)) {
            EnteNext();
            return true;
        }
        if (PressedByEnter(watched, *key, {ui_->bSave, ui_->bCancel, ui_->bShowRes, ui_->bHLP})) return true;
    } else if (event->type() == QEvent::FocusIn && watched == ui_->eChloramines) {
        ComputeChloramines();
    }
    return QDialog::eventFilter(watched, event);
}

void TfTestForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TfTestForm::FormShow() {
    UpdateEnables();
    ui_->PageControl->setVisible(test_ != nullptr);
    ui_->bShowRes->setVisible(test_ != nullptr);
    if (!test_) {
        ui_->panButtons->move(ui_->panButtons->x(), ui_->panButtons->y() - kBodyOnlyShrink);
        setFixedSize(width(), height() - kBodyOnlyShrink);
    }
    // Centred on the main window at the height it opens with, not at the full one.
    CentreOnOwnerWindow(*this);
    if (tag_ == 1)
        ui_->eAlkalinity->setFocus();
    else
        FocusFirstControl();
}

void TfTestForm::FocusFirstControl() {
    // The body kind leads the tab order; of a radio group, Tab visits the chosen button.
    const QList<QRadioButton*> kinds = RadioButtonsOf(*ui_->dbgrBody);
    const int chosen = RadioItemIndex(*ui_->dbgrBody);
    if (chosen >= 0)
        kinds[chosen]->setFocus(Qt::TabFocusReason);
    else
        ui_->eVolume->setFocus(Qt::TabFocusReason);
}

void TfTestForm::TakeRequest(const TCallTestParams& request) {
    body_ = request.body;
    test_ = request.test;
    resultPath_ = request.resultPath;
    ownerText_ = request.ownerText;
    setWindowTitle(request.caption);
}

void TfTestForm::SetSupplierText(const std::string& supplier) {
    ui_->eSupplier->setPlainText(MemoTextOf(supplier));
}

void TfTestForm::LoadFields() {
    if (!body_) return;
    const TBodyData& body = *body_;
    SetRadioItemIndex(*ui_->dbgrBody, body.kind);
    QStringList damaged; // the fields whose stored real is no finite number
    LoadNumber(*ui_->eVolume, body.volume, FieldLabel(&TBodyData::volume), damaged);
    LoadNumber(*ui_->eWidth, body.width, FieldLabel(&TBodyData::width), damaged);
    LoadNumber(*ui_->eLength, body.length, FieldLabel(&TBodyData::length), damaged);
    LoadNumber(*ui_->eDepth, body.depth, FieldLabel(&TBodyData::depth), damaged);
    ui_->eMetric->setCurrentIndex(ComboIndexOf(*ui_->eMetric, body.lengthUnit));
    ui_->eVolMetric->setCurrentIndex(ComboIndexOf(*ui_->eVolMetric, body.volumeUnit));
    ui_->eBodyNote->setPlainText(MemoTextOf(body.note));
    if (test_) LoadTestFields(damaged);
    // Loaded before the form is shown: the box stands over the window that opens the form.
    if (!damaged.isEmpty())
        platform::Messages().Show(parentWidget(), QStringLiteral("Warning"), DamagedNumbersText(damaged),
                                  platform::MessageIcon::Warning, platform::MessageButtons::Ok);
}

void TfTestForm::LoadTestFields(QStringList& damaged) {
    const TTestData& test = *test_;
    if (!std::isfinite(test.date)) damaged << QString::fromLatin1(FieldLabel(&TTestData::date));
    ui_->eDate->SetDateValue(test.date);
    ui_->eTime->setText(TimeEditText(test.time, platform::WindowsFormatSettings()));
    loadedTimeText_.reset();
    if (const std::optional<double> timeOfDay = StoredTimeOfDay(test.time)) {
        loadedTimeText_ = ui_->eTime->text();
        loadedTimeOfDay_ = *timeOfDay;
    } else {
        damaged << QString::fromLatin1(FieldLabel(&TTestData::time));
    }
    for (const TReadingField& reading : ReadingFields())
        LoadNumber(Reading(reading.edit), test.*reading.field, FieldLabel(reading.field), damaged);
    SetRadioItemIndex(*ui_->dbgrCelsius, test.celsius);
    ui_->dbchClear->setChecked(test.clear);
    ui_->cCloudy->setChecked(test.cloudy);
    ui_->cOdorous->setChecked(test.odorous);
    ui_->cAlgae->setChecked(test.algae);
    ui_->cGreen->setChecked(test.greenTint);
    ui_->cFoaming->setChecked(test.foaming);
    ui_->cHair->setChecked(test.hairGreen);
    ui_->dbchClean->setChecked(test.stainsClean);
    ui_->dbchChlorine->setChecked(test.chlorineUsed);
    SetRadioItemIndex(*ui_->dbgrStains, test.stainColour);
    SetRadioItemIndex(*ui_->dbgrOrganic, test.stainType);
    SetRadioItemIndex(*ui_->dbgrOxidizer, test.oxidizer);
    SetRadioItemIndex(*ui_->dbgrChlorine, test.chlorineProduct);
    SetRadioItemIndex(*ui_->dbgrSanitizer, test.sanitizer);
    SetRadioItemIndex(*ui_->dbgrShock, test.shock);
    ui_->eSupplier->setPlainText(MemoTextOf(test.supplier));
    ui_->eTestNote->setPlainText(MemoTextOf(test.testNote));
}

void TfTestForm::StoreFields() {
    if (!body_) return;
    // A fresh block is all zero bytes; only the fields below are written into it.
    TBodyData body;
    body.kind = ChoiceByte(RadioItemIndex(*ui_->dbgrBody));
    body.volume = ui_->eVolume->Value();
    body.width = ui_->eWidth->Value();
    body.length = ui_->eLength->Value();
    body.depth = ui_->eDepth->Value();
    body.lengthUnit = ChoiceByte(ui_->eMetric->currentIndex());
    body.volumeUnit = ChoiceByte(ui_->eVolMetric->currentIndex());
    body.note = StoredMemoText(ui_->eBodyNote->toPlainText(), kBodyNoteCapacity);
    *body_ = body;
    if (!test_) return;

    TTestData test;
    test.date = ui_->eDate->DateValue();
    // ValidateFields has read the time already; a text that is no time cannot get here.
    test.time = loadedTimeText_ == ui_->eTime->text()
                    ? loadedTimeOfDay_
                    : ParseTimeText(ui_->eTime->text(), platform::WindowsFormatSettings()).value_or(0.0);
    for (const TReadingField& reading : ReadingFields())
        test.*reading.field = Reading(reading.edit).Value();
    test.celsius = ChoiceByte(RadioItemIndex(*ui_->dbgrCelsius));
    test.clear = ui_->dbchClear->isChecked();
    test.cloudy = ui_->cCloudy->isChecked();
    test.odorous = ui_->cOdorous->isChecked();
    test.algae = ui_->cAlgae->isChecked();
    test.greenTint = ui_->cGreen->isChecked();
    test.foaming = ui_->cFoaming->isChecked();
    test.hairGreen = ui_->cHair->isChecked();
    test.stainsClean = ui_->dbchClean->isChecked();
    test.chlorineUsed = ui_->dbchChlorine->isChecked();
    test.stainColour = ChoiceByte(RadioItemIndex(*ui_->dbgrStains));
    test.stainType = ChoiceByte(RadioItemIndex(*ui_->dbgrOrganic));
    test.oxidizer = ChoiceByte(RadioItemIndex(*ui_->dbgrOxidizer));
    test.chlorineProduct = ChoiceByte(RadioItemIndex(*ui_->dbgrChlorine));
    test.sanitizer = ChoiceByte(RadioItemIndex(*ui_->dbgrSanitizer));
    test.shock = ChoiceByte(RadioItemIndex(*ui_->dbgrShock));
    test.supplier = StoredMemoText(ui_->eSupplier->toPlainText(), kSupplierCapacity);
    test.testNote = StoredMemoText(ui_->eTestNote->toPlainText(), kTestNoteCapacity);
    *test_ = test;
}

void TfTestForm::UpdateEnables() {
    ui_->Edit1->setText(ui_->eMetric->currentText());
    ui_->Edit2->setText(ui_->eMetric->currentText());
    // Greyed controls keep their values: they are stored as they stand.
    for (QCheckBox* condition :
         {ui_->cCloudy, ui_->cGreen, ui_->cOdorous, ui_->cFoaming, ui_->cAlgae, ui_->cHair})
        condition->setEnabled(!ui_->dbchClear->isChecked());
    ui_->dbgrStains->setEnabled(!ui_->dbchClean->isChecked() && RadioItemIndex(*ui_->dbgrOrganic) != 1);
    ui_->dbgrOrganic->setEnabled(!ui_->dbchClean->isChecked());
    ui_->dbgrChlorine->setEnabled(ui_->dbchChlorine->isChecked());
}

void TfTestForm::ComputeChloramines() {
    widgets::TZlCalcEdit& chloramines = *ui_->eChloramines;
    chloramines.SetValue(ui_->eTotalChlorine->Value() - ui_->eFree->Value());
    if (chloramines.Value() < 0) chloramines.SetValue(0);
}

void TfTestForm::ShowFieldWarning(const QString& text, QWidget& field) {
    platform::Messages().Show(this, QStringLiteral("Warning"), text, platform::MessageIcon::Warning,
                              platform::MessageButtons::Ok);
    // Every checked field is on the first page.
    if (ui_->PageControl->currentIndex() != 0) ui_->PageControl->setCurrentIndex(0);
    QCoreApplication::processEvents();
    field.setFocus();
}

bool TfTestForm::CheckRange(const TRangeCheck& check) {
    widgets::TZlCalcEdit& edit = Reading(check.editName);
    if (PassesRange(edit.Value(), check, platform::WindowsFormatSettings().decimalSeparator)) return true;
    ShowFieldWarning(RangeWarningText(check), edit);
    return false;
}

// A damaged record may hold NaN or an infinity, which no edit can show or give back.
void TfTestForm::LoadNumber(widgets::TZlCalcEdit& edit, long double value, const char* label,
                            QStringList& damaged) {
    const bool finite = std::isfinite(value);
    if (!finite) damaged << QString::fromLatin1(label);
    edit.SetValue(finite ? value : 0.0L);
}

bool TfTestForm::CheckTimeText() {
    if (ParseTimeText(ui_->eTime->text(), platform::WindowsFormatSettings())) return true;
    ShowFieldWarning(InvalidTimeText(ui_->eTime->text()), *ui_->eTime);
    return false;
}

bool TfTestForm::ValidateFields() {
    const bool fahrenheit = RadioItemIndex(*ui_->dbgrCelsius) == 0; // its first button checked
    const std::vector<TRangeCheck> checks = TestRangeChecks(
        platform::WindowsFormatSettings().decimalSeparator, ui_->eTotalChlorine->Text(), fahrenheit);
    for (const TRangeCheck& check : checks)
        if (!CheckRange(check)) return false;
    // Checked before anything is written, so a bad time leaves the caller's blocks as they were.
    if (test_ && !CheckTimeText()) return false;
    if (const std::optional<QString> note =
            FilledBodyNote(ui_->eBodyNote->toPlainText(), RadioItemIndex(*ui_->dbgrBody)))
        ui_->eBodyNote->setPlainText(*note);
    return true;
}

void TfTestForm::bSaveClick() {
    // The chloramines field may still show the difference of older chlorine readings.
    if (test_) ComputeChloramines();
    if (!ValidateFields()) return;
    const QString supplier = ui_->eSupplier->toPlainText();
    if (!TrimmedText(supplier).isEmpty()) WriteLastSupplier(platform::ToCp1252(supplier));
    StoreFields();
    accept();
}

void TfTestForm::bShowResClick() {
    if (test_) ComputeChloramines();
    if (ValidateFields()) RunFormula();
}

void TfTestForm::RunFormula() {
    if (!body_ || !test_ || !ResultPathUsable(resultPath_, this)) return;
    StoreFields();
    const TBodyBytes body = body_->Encode();
    const TTestBytes test = test_->Encode();
    const TFormulaArgs args{resultPath_.c_str(), ownerText_.c_str(), body.data(), test.data()};
    // On failure the engine has shown its own error box.
    if (QuibsFormula(&args) != 0) ShowResult(this);
}

void TfTestForm::bHLPClick() {
    ShowHelpTopic(kInputFieldsTopic);
}

void TfTestForm::bCancelClick() {
    reject();
}

namespace {

bool RunTestForm(const TCallTestParams& params, int tag, bool bodyOnly, bool lastSupplier) {
    TfTestForm form(QApplication::activeWindow());
    form.SetTag(tag);
    form.TakeRequest(params);
    if (bodyOnly) form.DropTestBlock();
    form.LoadFields();
    if (lastSupplier) form.SetSupplierText(ReadLastSupplier());
    return form.exec() == QDialog::Accepted;
}

} // namespace

bool EditNewBodyAndTest(const TCallTestParams& params) {
    return RunTestForm(params, 0, false, true);
}

bool EditNewTest(const TCallTestParams& params) {
    return RunTestForm(params, 1, false, true);
}

bool EditExistingTest(const TCallTestParams& params) {
    return RunTestForm(params, 1, false, false);
}

bool EditBodyOnly(const TCallTestParams& params) {
    return RunTestForm(params, 0, true, false);
}
