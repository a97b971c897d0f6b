#pragma once

#include "engine/BrinovaDEF.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

struct TRangeCheck;
class QGroupBox;
namespace Ui {
class fTestForm;
}
namespace widgets {
class TZlCalcEdit;
}

// The one entry window: a body of water and, on two pages, one water test of it. The form
// works on the caller's blocks and writes them only on Save and "Water Test Results".

// What the caller hands the form; the caller owns the texts and both blocks.
struct TCallTestParams {
    std::string resultPath; // the file the engine writes the advice page to
    std::string ownerText;  // Windows-1252, CR LF breaks
    QString caption;
    TBodyData* body = nullptr; // always present
    TTestData* test = nullptr; // none when only the body is edited
};

class TfTestForm : public QDialog {
    Q_OBJECT
public:
    explicit TfTestForm(QWidget* parent = nullptr);
    ~TfTestForm() override;

    // Copies the texts and the block references, and takes the caption.
    void TakeRequest(const TCallTestParams& request);
    void DropTestBlock() { test_ = nullptr; }
    // 1: the first reading takes the focus when the form is shown; 0: the default focus.
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    // Shows one warning naming the fields whose stored real is no finite number; they load empty.
    void LoadFields();
    void StoreFields();
    void UpdateEnables();
    void ComputeChloramines();
    // The range checks in their order, then the time text; false after the first failure has
    // warned and focused its field. When all pass a blank body note gets the kind's caption.
    bool ValidateFields();
    // The supplier memo's text (for the openers' prefill).
    void SetSupplierText(const std::string& supplier);

public slots:
    void bSaveClick();
    void bShowResClick();
    void bHLPClick();
    void bCancelClick();
    void dbchClearClick() { UpdateEnables(); }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void LoadTestFields(QStringList& damaged);
    void LoadNumber(widgets::TZlCalcEdit& edit, long double value, const char* label, QStringList& damaged);
    void FocusFirstControl();
    void PaintEntryFields();
    void HookGroupKeys(QGroupBox& group);
    void HookEnteNext(QWidget& control);
    void EnteNext();
    bool CheckRange(const TRangeCheck& check);
    bool CheckTimeText();
    void ShowFieldWarning(const QString& text, QWidget& field);
    void RunFormula();
    widgets::TZlCalcEdit& Reading(const char* name) const;

    std::unique_ptr<Ui::fTestForm> ui_;
    TBodyData* body_ = nullptr;
    TTestData* test_ = nullptr;
    std::string resultPath_;
    std::string ownerText_;
    int tag_ = 0;
    bool shownOnce_ = false;
    QList<QObject*> enterMovesOn_; // the controls whose Enter acts as Tab
    // The time text as loaded and the stored time of day behind it, whose seconds the text omits.
    std::optional<QString> loadedTimeText_;
    double loadedTimeOfDay_ = 0.0;
};

// The item index of a radio group box (its radio buttons in order), -1 when none is checked.
int RadioItemIndex(const QGroupBox& group);
// Checks the item; an index outside the items leaves none checked.
void SetRadioItemIndex(QGroupBox& group, int index);

// The openers: true when the form ended with Save.
bool EditNewBodyAndTest(const TCallTestParams& params);
bool EditNewTest(const TCallTestParams& params);
bool EditExistingTest(const TCallTestParams& params);
bool EditBodyOnly(const TCallTestParams& params);
