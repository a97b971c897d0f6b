#include "app/BrinovaAPI.h"
#include "app/fAbout.h"
#include "app/fOwner.h"
#include "app/fZELP.h"
#include "engine/uFormula.h"
#include "platform/MessageBox.h"
#include "ui_fZELP.h"

#include <QTreeWidget>

// The commands of the main window: what each button, menu item and list event does.

namespace {

constexpr const char* kVersionText = "version 8.82";
constexpr int kIndexHelpTopic = 0;

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
    if (Confirmed(QStringLiteral("Delete Water Test"), QStringLiteral("Delete water test. Are you sure?"),
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
    if (Confirmed(QStringLiteral("Delete Body of Water"),
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

void TZELP::NewbodyofWater1Click() {}
void TZELP::NewBodyTestClick() {}
void TZELP::EditBodyClick() {}
void TZELP::bNewTestClick() {}
void TZELP::EditTestClick() {}
