#include "app/BrinovaAPI.h"
#include "app/TestEdit.h"
#include "app/fAbout.h"
#include "app/fOwner.h"
#include "app/fZELP.h"
#include "engine/uFormula.h"
#include "platform/DateTimeText.h"
#include "platform/MessageBox.h"
#include "ui_fZELP.h"

#include <QListWidget>
#include <QTreeWidget>

// The commands of the main window: what each button, menu item and list event does.

namespace {

constexpr const char* kVersionText = "version 8.82";
constexpr int kIndexHelpTopic = 0;

// The one request handed to the entry form, overwritten by every command.
TCallTestParams callTestParams;

void PrepareCallTestParams(TBodyData* body, TTestData* test, const char* caption) {
    callTestParams = TCallTestParams{};
    callTestParams.resultPath = ResultFilePath();
    callTestParams.ownerText = ReadOwnerText();
    callTestParams.caption = QString::fromLatin1(caption);
    callTestParams.body = body;
    callTestParams.test = test;
}

// A new test is taken now: the date field and the time field both hold the whole moment.
TStoredRecord NewTestRecord() {
    TStoredRecord test;
    const double now = platform::CurrentClock().Now();
    test.test.date = now;
    test.test.time = now;
    return test;
}

} // namespace

// ---- Selection -------------------------------------------------------------------------------

int TZELP::TestItemIndex() const {
    const QList<QTreeWidgetItem*> selected = ui->lTests->selectedItems();
    return selected.isEmpty() ? -1 : ui->lTests->indexOfTopLevelItem(selected.first());
}

void TZELP::SetTestItemIndex(int index) {
    QTreeWidgetItem* item = ui->lTests->topLevelItem(index);
    if (!item) {
        ui->lTests->clearSelection();
        return;
    }
    ui->lTests->setCurrentItem(item);
    item->setSelected(true);
}

bool TZELP::Confirmed(const QString& caption, const QString& text, bool warning) {
    return platform::Messages().Show(this, caption, text,
                                     warning ? platform::MessageIcon::Warning
                                             : platform::MessageIcon::Question,
                                     platform::MessageButtons::YesNo) == platform::MessageAnswer::Yes;
}

// ---- Deleting --------------------------------------------------------------------------------

void TZELP::DeleteTestClick() {
    if (RecordsCanBeStored("DeleteTest") &&
        Confirmed(QStringLiteral("Delete Water Test"), QStringLiteral("Delete water test. Are you sure?"),
                  false))
        CmdDeleteTest(SelectedBodyNr(), SelectedTestNr());
    UpdateCommandStates();
    ui->lTests->setFocus();
}

void TZELP::CmdDeleteTest(std::int32_t body, std::int32_t test) {
    int index = TestItemIndex();
    if (body <= 0 || test <= 0) return;
    DeleteTest(body, test);
    RefreshTests(body);
    // The line that followed the deleted one, else the new last line (none in an empty list).
    const int count = ui->lTests->topLevelItemCount();
    if (index >= count) index = count - 1;
    SetTestItemIndex(index);
}

void TZELP::DeleteBodyofWater1Click() {
    if (RecordsCanBeStored("DeleteBodyAndTets") &&
        Confirmed(QStringLiteral("Delete Body of Water"),
                  QStringLiteral("Delete Body of Water and all it's Tests. Are you sure?"), true))
        CmdDeleteBody(SelectedBodyNr());
    UpdateCommandStates();
    ui->BV->setFocus();
}

void TZELP::CmdDeleteBody(std::int32_t body) {
    if (body <= 0) return;
    DeleteBodyAndTests(body, TestList());
    RefreshBodies(0);
}

// ---- Results ---------------------------------------------------------------------------------

void TZELP::ShowResultClick() {
    CmdShowResults(SelectedBodyNr(), SelectedTestNr());
}

void TZELP::CmdShowResults(std::int32_t body, std::int32_t test) {
    if (body <= 0 || test <= 0) return;
    TStoredBytes bodyRecord{};
    TStoredBytes testRecord{};
    if (!GetRec(body, bodyRecord) || !GetRec(test, testRecord)) return;
    const std::string resultPath = ResultFilePath();
    if (!ResultPathUsable(resultPath, this)) return;
    const std::string ownerText = ReadOwnerText();
    const TFormulaArgs args{resultPath.c_str(), ownerText.c_str(), bodyRecord.data() + stored_offset::block,
                            testRecord.data() + stored_offset::block};
    // On failure the engine has shown its own box.
    if (QuibsFormula(&args)) ShowResult(this);
}

// ---- Help, parameters, About, web page, exit -----------------------------------------------

void TZELP::Index1Click() {
    ShowHelpTopic(kIndexHelpTopic);
}

void TZELP::Setparameters1Click() {
    ShowParameters(this);
}

void TZELP::AboutBrinovaVesk1Click() {
    ShowAbout(QString::fromLatin1(kVersionText), this);
}

void TZELP::BrinovaVeskoninternet1Click() {
    OpenHomePage();
}

void TZELP::Exit1Click() {
    close();
}

// The maintenance items stay disabled for the whole run.
void TZELP::Repairdata1Click() {}
void TZELP::Backupdata1Click() {}
void TZELP::Restoredta1Click() {}

// ---- Entering and editing ----------------------------------------------------------------

void TZELP::NewbodyofWater1Click() {
    CmdNewBody();
}

void TZELP::NewBodyTestClick() {
    CmdNewBodyAndTest();
    UpdateCommandStates();
}

void TZELP::EditBodyClick() {
    CmdEditBody(SelectedBodyNr());
    UpdateCommandStates();
    ui->BV->setFocus();
}

void TZELP::bNewTestClick() {
    CmdNewTest(SelectedBodyNr());
    UpdateCommandStates();
    ui->lTests->setFocus();
}

void TZELP::EditTestClick() {
    CmdEditTest(SelectedBodyNr(), SelectedTestNr());
    UpdateCommandStates();
    ui->lTests->setFocus();
}

void TZELP::SelectBodyItem(QListWidgetItem* item) {
    // A body that could not be stored has no item: nothing stays selected.
    if (!item) {
        ui->BV->clearSelection();
        return;
    }
    ui->BV->setCurrentItem(item);
    item->setSelected(true);
}

void TZELP::CmdNewBody() {
    // Without an open data file the form would take what the user types only to lose it.
    if (!RecordsCanBeStored("AddBodyAddTest")) return;
    TStoredRecord body;
    PrepareCallTestParams(&body.body, nullptr, "Enter new Body of Water");
    if (!EditBodyOnly(callTestParams)) return;
    const std::int32_t n = AddBody(body);
    SelectBodyItem(RefreshBodies(n));
    RefreshTests(n);
}

void TZELP::CmdNewBodyAndTest() {
    if (!RecordsCanBeStored("AddBodyAddTest")) return;
    TStoredRecord body;
    TStoredRecord test = NewTestRecord();
    PrepareCallTestParams(&body.body, &test.test, "Enter new Body of Water + First test");
    if (!EditNewBodyAndTest(callTestParams)) return;
    const std::int32_t n = AddBodyAddTest(body, test);
    SelectBodyItem(RefreshBodies(n));
    RefreshTests(n);
}

void TZELP::CmdEditBody(std::int32_t body) {
    if (!RecordsCanBeStored("PutRec")) return;
    TStoredRecord record;
    if (body <= 0 || !GetRec(body, record)) return;
    PrepareCallTestParams(&record.body, nullptr, "Edit body of water");
    if (!EditBodyOnly(callTestParams) || !PutRec(body, record)) return;
    RefreshBodies(body);
    ShowBodyDetails(body);
}

void TZELP::CmdNewTest(std::int32_t body) {
    if (!RecordsCanBeStored("PutBodyAddTest")) return;
    TStoredRecord test = NewTestRecord();
    TStoredRecord record;
    if (body <= 0 || !GetRec(body, record)) return;
    PrepareCallTestParams(&record.body, &test.test, "Enter new TEST");
    if (!EditNewTest(callTestParams)) return;
    // The form may have changed the body too.
    PutBodyAddTest(body, record, test);
    RefreshTests(body);
    if (ui->lTests->topLevelItemCount() > 0) SetTestItemIndex(0);
}

void TZELP::CmdEditTest(std::int32_t body, std::int32_t test) {
    if (!RecordsCanBeStored("PutBodyPutTest")) return;
    const int index = TestItemIndex();
    TStoredRecord bodyRecord;
    TStoredRecord testRecord;
    if (body <= 0 || test <= 0 || !GetRec(body, bodyRecord) || !GetRec(test, testRecord)) return;
    PrepareCallTestParams(&bodyRecord.body, &testRecord.test, "Edit TEST");
    if (!EditExistingTest(callTestParams)) return;
    PutBodyPutTest(body, test, bodyRecord, testRecord);
    RefreshTests(body);
    // The line stays, not the test: a changed date may have moved it.
    if (index >= 0 && index < ui->lTests->topLevelItemCount()) SetTestItemIndex(index);
}
