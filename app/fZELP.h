#pragma once

#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QRect>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QListWidgetItem;
class QMenu;
class QTreeWidgetItem;
class QItemSelection;
namespace Ui {
class ZELP;
}

// The main window: the bodies of water on the left; the selected body's details, the chart
// links and its tests on the right; every command control kept in step with the selection.
// The controls carry their names as object names; the commands behind the handlers live in
// their own unit.
class TZELP : public QMainWindow {
    Q_OBJECT
public:
    // Opens the data file and fills the lists (FormCreate).
    explicit TZELP(QWidget* parent = nullptr);
    ~TZELP() override;

    // The record number of the selected body (test), or -1 when none is selected.
    std::int32_t SelectedBodyNr() const;
    std::int32_t SelectedTestNr() const;

    void UpdateCommandStates();
    void ShowBodyDetails(std::int32_t body);
    // Reloads the bodies and selects the wanted one, else the first; the wanted body's item or
    // nullptr when it is not in the list.
    QListWidgetItem* RefreshBodies(std::int32_t wanted);
    // Reloads the tests of one body (none when the number is 0 or less).
    void RefreshTests(std::int32_t body);

    const TRecList& BodyList() const { return bodyList_; }
    const TRecList& TestList() const { return testList_; }
    // The texts of the status bar's panels.
    QString PanelText(int panel) const;

    // The commands' handlers, bound to the buttons, menu items and lists.
public slots:
    virtual void NewbodyofWater1Click();
    virtual void NewBodyTestClick();
    virtual void EditBodyClick();
    virtual void bNewTestClick();
    virtual void EditTestClick();
    virtual void DeleteTestClick();
    virtual void DeleteBodyofWater1Click();
    virtual void ShowResultClick();
    virtual void Index1Click();
    virtual void Setparameters1Click();
    virtual void AboutBrinovaVesk1Click();
    virtual void BrinovaVeskoninternet1Click();
    virtual void Exit1Click();
    virtual void Repairdata1Click();
    virtual void Backupdata1Click();
    virtual void Restoredta1Click();

    void ChartClick();
    void BVClick();
    void BVSelectItem();
    void PopupMenu1Popup();

protected:
    void FormShow();
    void FormActivate();
    void FormClose();
    // True when the form took the key (F1: the help page of the records).
    bool FormKeyDown(int key);

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void BuildPopupMenus();
    // The note that stands in the empty list of bodies while no data file is open.
    void MakeNoDataFileNote();
    void ConnectHandlers();
    void LoadBackground();
    void RestorePosition();
    void KeepDistances();
    void KeepNormalBounds();
    void lTestsSelectItem(const QItemSelection& selected, const QItemSelection& deselected);
    void lTestsResize();
    void FitSelectedTestCaption();
    void SetPanel(int panel, const QString& text);
    void ClearBodyDetails();

    // The commands behind the handlers (fZELPCommands.cpp).
    void CmdNewBody();
    void CmdNewBodyAndTest();
    void CmdEditBody(std::int32_t body);
    void CmdNewTest(std::int32_t body);
    void CmdEditTest(std::int32_t body, std::int32_t test);
    void SelectBodyItem(QListWidgetItem* item);
    void CmdDeleteTest(std::int32_t body, std::int32_t test);
    void CmdDeleteBody(std::int32_t body);
    void CmdShowResults(std::int32_t body, std::int32_t test);
    bool Confirmed(const QString& caption, const QString& text, bool warning);
    // The index of the selected test line, -1 when none; setting -1 clears the selection.
    int TestItemIndex() const;
    void SetTestItemIndex(int index);

    std::unique_ptr<Ui::ZELP> ui;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QLabel* panels_[2] = {nullptr, nullptr};
    QLabel* noDataFileNote_ = nullptr;
    // One picture per body kind, index = kind.
    QList<QIcon> bodyimages;
    TRecList bodyList_;
    TRecList testList_;
    // Where each control stood at the design size, for the resize rules.
    std::map<QWidget*, QRect> designGeometry_;
    QSize designPanSize_;
    bool activatedOnce_ = false;
    bool closed_ = false;
    bool shownOnce_ = false;
    // Frame position and inside size the last time the window was neither maximised, full
    // screen nor minimised: what a maximised window stores.
    std::optional<TFormBounds> normalBounds_;
};
