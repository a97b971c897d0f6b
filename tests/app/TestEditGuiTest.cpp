#include "TempFolder.h"
#include "app/BrinovaAPI.h"
#include "app/TestEdit.h"
#include "platform/Real80.h"
#include "support/FileText.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/Screenshots.h"
#include "widgets/CurrEdit.h"
#include "widgets/DateEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

namespace fs = std::filesystem;
using widgets::TZlCalcEdit;

namespace {

class TestFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        SetConfigurationFile(root + "/zelplus.ini");
        params.resultPath = ResultFilePath();
        params.ownerText = "Ann Owner\r\n12 Harbour Road";
        params.caption = "Enter new TEST";
        params.body = &body;
        params.test = &test;
    }
    void TearDown() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        SetConfigurationFile("zelplus.ini");
    }

    // The form loaded from the blocks and shown, active, as a user meets it.
    std::unique_ptr<TfTestForm> Open(int tag = 1) {
        auto form = std::make_unique<TfTestForm>();
        form->SetTag(tag);
        form->TakeRequest(params);
        form->LoadFields();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    template <typename T> static T& Get(QWidget& form, const char* name) {
        T* child = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return *child;
    }
    static TZlCalcEdit& Edit(QWidget& form, const char* name) { return Get<TZlCalcEdit>(form, name); }

    // The program folder and configuration of one test, removed with everything in it.
    test::TempFolder scratch;
    const std::string root = scratch.Path();
    TBodyData body;
    TTestData test;
    TCallTestParams params;
    RecordingMessageBoxes boxes;
    RecordingShell shell;
};

// Each check passes at both bounds and fails just outside them with its own warning, the field
// focused; run in a "." and a "," locale.
TEST_F(TestFormTest, RangeChecksPassAtTheirBoundsAndWarnJustOutside) {
    struct Row {
        const char* edit;
        const char* label;
        long double low, high, step;
        const char* lowerText;
        const char* upperText; // as the warning shows it; '.' stands for the locale's separator
        int celsiusItem = 1;
    };
    const std::vector<Row> rows = {
        {"eVolume", "Volume", 1, 99999999, 1, "1", "unlimited"},
        {"eAlkalinity", "Total Alkalinity", 0, 1000, 1, "0", "1000"},
        {"ePH", "pH", 0, 14, 0.001L, "0", "14.0"},
        {"eHardness", "Total Hardness", 0, 10000, 1, "0", "10000"},
        {"eCopper", "Copper", 0, 5, 0.001L, "0", "5.0"},
        {"eIron", "Iron", 0, 5, 0.001L, "0", "5.0"},
        {"eTDS", "TDS", 0, 10000, 1, "0", "10000"},
        {"eORP", "ORP", 0, 1000, 1, "0", "1000"},
        {"eTotalChlorine", "Total chlorine", 0, 30, 0.001L, "0", "30"},
        {"eFree", "Free chlorine can only be equal to or lower than total chlorine", 0, 1.5L, 0.001L, "0",
         "1.5"},
        {"eBromine", "Bromine", 0, 60, 0.001L, "0", "60"},
        {"eCyanuric", "Cyanuric Acid", 0, 100, 0.001L, "0", "100"},
        {"eTemperature", "Temperature", 0, 120, 0.001L, "0", "120", 1},
        {"eTemperature", "Temperature", 0, 248, 0.001L, "0", "248", 0},
        {"eAcid", "Acid Demand", 0, 1000, 0.001L, "0", "1000"},
    };
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale(QLocale::German)}) {
        QLocale::setDefault(locale);
        const QChar separator = locale.decimalPoint()[0];
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.edit) + " in " + locale.name().toStdString());
            auto form = Open();
            Edit(*form, "eVolume").SetValue(1000);
            Edit(*form, "eTotalChlorine").SetValue(1.5L);
            SetRadioItemIndex(Get<QGroupBox>(*form, "dbgrCelsius"), row.celsiusItem);
            TZlCalcEdit& edit = Edit(*form, row.edit);
            for (const long double value : {row.low, row.high}) {
                edit.SetValue(value);
                EXPECT_TRUE(form->ValidateFields()) << static_cast<double>(value);
            }
            const QString message = QString::fromLatin1(row.label) + ": Available value range " +
                                    row.lowerText + " .. " +
                                    QString::fromLatin1(row.upperText).replace(u'.', separator);
            for (const long double value : {row.low - row.step, row.high + row.step}) {
                boxes.shown.clear();
                Get<QLineEdit>(*form, "eTime").setFocus();
                edit.SetValue(value);
                EXPECT_FALSE(form->ValidateFields()) << static_cast<double>(value);
                ASSERT_EQ(boxes.shown.size(), 1u);
                EXPECT_EQ(boxes.shown[0].text, message);
                EXPECT_EQ(boxes.shown[0].caption, "Warning");
                EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Warning);
                EXPECT_EQ(boxes.shown[0].buttons, platform::MessageButtons::Ok);
                EXPECT_TRUE(edit.hasFocus());
            }
        }
    }
}

TEST_F(TestFormTest, FirstFailureOnlyWarnsAndBringsTheParametersPageBack) {
    auto form = Open();
    QTabWidget& pages = Get<QTabWidget>(*form, "PageControl");
    Edit(*form, "eVolume").SetValue(1000);
    Edit(*form, "ePH").SetValue(15);
    Edit(*form, "eHardness").SetValue(20000);
    pages.setCurrentIndex(1);
    EXPECT_FALSE(form->ValidateFields());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "pH: Available value range 0 .. 14.0");
    EXPECT_EQ(pages.currentIndex(), 0);
    EXPECT_TRUE(Edit(*form, "ePH").hasFocus());

    // No total chlorine: its empty text is the bound.
    boxes.shown.clear();
    Edit(*form, "ePH").SetValue(7);
    Edit(*form, "eHardness").SetValue(200);
    Edit(*form, "eFree").SetValue(0.5L);
    EXPECT_FALSE(form->ValidateFields());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "Free chlorine can only be equal to or lower than total chlorine: Available value range 0 .. ");
}

TEST_F(TestFormTest, BlankBodyNoteBecomesTheKindOnlyWhenEveryCheckPasses) {
    auto form = Open();
    QPlainTextEdit& note = Get<QPlainTextEdit>(*form, "eBodyNote");
    SetRadioItemIndex(Get<QGroupBox>(*form, "dbgrBody"), 1);
    note.setPlainText("   ");
    EXPECT_FALSE(form->ValidateFields()); // the volume is empty
    EXPECT_EQ(note.toPlainText(), "   ");
    Edit(*form, "eVolume").SetValue(1500);
    EXPECT_TRUE(form->ValidateFields());
    EXPECT_EQ(note.toPlainText(), "Spa/Hot Tub");
    note.setPlainText("Back garden");
    EXPECT_TRUE(form->ValidateFields());
    EXPECT_EQ(note.toPlainText(), "Back garden");
}

// ---- Fields and blocks -----------------------------------------------------------------------

void PutText(unsigned char* block, std::size_t offset, const std::string& text) {
    std::memcpy(block + offset, text.data(), text.size());
}

TEST_F(TestFormTest, LoadThenStoreGivesBackEveryByteOfBothBlocks) {
    TBodyBytes bodyBytes{};
    bodyBytes[8] = 3; // Waterscape
    platform::PutReal80(bodyBytes.data(), 16, 5.5L);
    platform::PutReal80(bodyBytes.data(), 32, 10.2L);
    platform::PutReal80(bodyBytes.data(), 48, 1.4L);
    platform::PutReal80(bodyBytes.data(), 64, 78540.0L);
    bodyBytes[74] = 1; // Foot
    bodyBytes[75] = 2; // Imperial Gallon
    const std::string note = "Koi pond\r\nby the terrace ";
    PutText(bodyBytes.data(), 76, note + std::string(127 - note.size(), 'k'));

    TTestBytes testBytes{};
    const double date = 46000.0, time = (14 * 3600.0 + 5 * 60.0) / 86400.0;
    std::memcpy(testBytes.data() + 0, &date, 8);
    std::memcpy(testBytes.data() + 8, &time, 8);
    const long double readings[14] = {120,  7.4L, 250, 0.2L, 0.125L, 1500,  650,
                                      3.5L, 2.5L, 1,   0,    40,     2.25L, 28.5L};
    for (int i = 0; i < 14; ++i)
        platform::PutReal80(testBytes.data(), 16 + 16 * i, readings[i]);
    const unsigned char flags[16] = {1, 0, 1, 0, 0, 1, 1, 0, 1, 1, 2, 1, 3, 6, 8, 9};
    std::memcpy(testBytes.data() + 234, flags, sizeof flags);
    PutText(testBytes.data(), 250, "Aqua Supplies\r\n" + std::string(127 - 15, 's'));
    PutText(testBytes.data(), 378, std::string(63, 'n'));

    body = TBodyData::Decode(bodyBytes.data());
    test = TTestData::Decode(testBytes.data());
    auto form = Open();
    EXPECT_EQ(Get<QLineEdit>(*form, "Edit1").text(), "Foot");
    form->StoreFields();
    const TBodyBytes storedBody = body.Encode();
    const TTestBytes storedTest = test.Encode();
    for (std::size_t i = 0; i < bodyBytes.size(); ++i)
        EXPECT_EQ(storedBody[i], bodyBytes[i]) << "body byte " << i;
    for (std::size_t i = 0; i < testBytes.size(); ++i)
        EXPECT_EQ(storedTest[i], testBytes[i]) << "test byte " << i;
}

TEST_F(TestFormTest, StoredTextsAreCutTimeIsTheTimeOfDayAndEmptyReadingsAreZero) {
    test.time = 46000.75; // a date part the caller left in the time
    test.alkalinity = 100;
    auto form = Open();
    EXPECT_EQ(Get<QLineEdit>(*form, "eTime").text(), "18:00");
    Get<QLineEdit>(*form, "eTime").setText("7:30");
    Edit(*form, "eAlkalinity").SetText("");
    Get<QPlainTextEdit>(*form, "eSupplier").setPlainText(QString(150, u's'));
    Get<QPlainTextEdit>(*form, "eTestNote").setPlainText("line one\nline two " + QString(80, u'n'));
    form->StoreFields();
    EXPECT_EQ(test.time, 7.5 / 24);
    EXPECT_EQ(test.alkalinity, 0);
    EXPECT_EQ(test.supplier, std::string(127, 's'));
    EXPECT_EQ(test.testNote, ("line one\r\nline two " + std::string(80, 'n')).substr(0, 63));
}

// Reopening a stored test and saving it as it stands keeps the seconds that the 5-character time
// field cannot show; a changed time text is read as typed.
TEST_F(TestFormTest, ResavingAnUnchangedTimeKeepsItsSeconds) {
    const double withSeconds = (14 * 3600.0 + 35 * 60.0 + 27.0) / 86400.0;
    struct Row {
        const char* name;
        double stored;
        const char* typed; // nullptr: the text is left as loaded
        double expected;
    };
    const std::vector<Row> rows = {
        {"unchanged", withSeconds, nullptr, withSeconds},
        {"unchanged with a date part", 46000.0 + withSeconds, nullptr, 46000.0 + withSeconds - 46000.0},
        {"changed", withSeconds, "14:36", (14 * 3600.0 + 36 * 60.0) / 86400.0},
        {"cleared", withSeconds, "", 0.0},
        {"damaged", std::numeric_limits<double>::quiet_NaN(), nullptr, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test.time = row.stored;
        auto form = Open();
        Edit(*form, "eVolume").SetValue(1000);
        if (row.typed) Get<QLineEdit>(*form, "eTime").setText(QString::fromLatin1(row.typed));
        form->bSaveClick();
        EXPECT_EQ(form->result(), QDialog::Accepted);
        EXPECT_EQ(test.time, row.expected);
    }
}

// A damaged record may hold NaN or an infinity in any real, which no edit can show: the form
// names those fields in one warning when it loads, shows them empty and never stores one.
TEST_F(TestFormTest, StoredRealsThatAreNoNumberLoadEmptyWithAWarning) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    body.volume = nan;
    body.width = inf;
    body.depth = -inf;
    test.date = std::numeric_limits<double>::infinity();
    test.pH = nan;
    test.chloramines = nan;
    test.temperature = inf;
    test.alkalinity = 120;
    auto form = Open();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "The stored record holds no valid number in: Volume, Width, Average Depth, "
              "Date, pH, Chloramines, Temperature. These fields are shown empty; Save "
              "stores what they show.");
    EXPECT_EQ(boxes.shown[0].caption, "Warning");
    for (const char* name : {"eVolume", "eWidth", "eDepth", "ePH", "eChloramines", "eTemperature"})
        EXPECT_EQ(Edit(*form, name).Text(), "") << name;
    EXPECT_EQ(Edit(*form, "eAlkalinity").Text(), "120");
    EXPECT_TRUE(std::isnan(body.volume)) << "nothing is stored by loading";

    // Nothing is stored before Save; the empty volume is refused as any empty volume is.
    boxes.shown.clear();
    form->bSaveClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Volume: Available value range 1 .. unlimited");
    EXPECT_TRUE(std::isnan(body.volume) && std::isinf(body.width) && std::isnan(test.pH));

    Edit(*form, "eVolume").SetValue(1000);
    form->bSaveClick();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(NonFiniteField(body), nullptr);
    EXPECT_EQ(NonFiniteField(test), nullptr);
    EXPECT_EQ(body.width, 0);
    EXPECT_EQ(test.pH, 0);
    EXPECT_EQ(test.alkalinity, 120);

    // A sound record loads without a word.
    boxes.shown.clear();
    auto sound = Open();
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TestFormTest, TypingLimitsCountLineBreaksTwiceAndNeverCutLoadedText) {
    body.note = std::string(140, 'x');
    auto form = Open(0);
    QPlainTextEdit& note = Get<QPlainTextEdit>(*form, "eBodyNote");
    EXPECT_EQ(note.toPlainText().size(), 140);
    note.setPlainText(QString(124, u'a'));
    note.setFocus();
    note.moveCursor(QTextCursor::End);
    QTest::keyClick(&note, Qt::Key_Return); // 126 once stored
    QTest::keyClicks(&note, "bc");
    EXPECT_EQ(note.toPlainText(), QString(124, u'a') + u'\n');
    note.setPlainText(QString(120, u'a'));
    note.moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText("bcd\r\nefg");
    note.paste(); // 3 + 2 for the break + 1 fill the 126
    EXPECT_EQ(note.toPlainText(), QString(120, u'a') + "bcd\ne");
    QLineEdit& time = Get<QLineEdit>(*form, "eTime");
    time.clear();
    time.setFocus();
    QTest::keyClicks(&time, "12:345");
    EXPECT_EQ(time.text(), "12:34");
    TZlCalcEdit& ph = Edit(*form, "ePH");
    ph.setFocus();
    QTest::keyClicks(&ph, "123456789");
    EXPECT_EQ(ph.text(), "12345678");
}

// ---- Behaviour ----------------------------------------------------------------------------

TEST_F(TestFormTest, EnterMovesToTheNextFieldWithoutSaving) {
    auto form = Open();
    ASSERT_TRUE(Edit(*form, "eAlkalinity").hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(Edit(*form, "ePH").hasFocus());

    Get<QComboBox>(*form, "eVolMetric").setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(Edit(*form, "eWidth").hasFocus());

    Get<widgets::TDateEdit>(*form, "eDate").setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_TRUE(Get<QLineEdit>(*form, "eTime").hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QApplication::processEvents();
    EXPECT_TRUE(Get<QPlainTextEdit>(*form, "eTestNote").hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // a memo starts a new line
    QApplication::processEvents();
    EXPECT_TRUE(Get<QPlainTextEdit>(*form, "eTestNote").hasFocus());
    EXPECT_EQ(Get<QPlainTextEdit>(*form, "eTestNote").toPlainText(), "\n");

    Get<QTabWidget>(*form, "PageControl").setCurrentIndex(1);
    Get<QCheckBox>(*form, "dbchClear").setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(Get<QCheckBox>(*form, "cCloudy").hasFocus());
    QRadioButton& oxidizer = Get<QRadioButton>(*form, "dbgrOxidizerItem0");
    oxidizer.setFocus();
    QTest::keyClick(&oxidizer, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(Get<QCheckBox>(*form, "dbchChlorine").hasFocus()); // out of the group, as Tab goes

    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TestFormTest, UpdateEnablesGreysWithoutChangingValues) {
    test.chlorineUsed = true;
    auto form = Open();
    QCheckBox& clear = Get<QCheckBox>(*form, "dbchClear");
    QCheckBox& cloudy = Get<QCheckBox>(*form, "cCloudy");
    cloudy.setChecked(true);
    QTest::mouseClick(&clear, Qt::LeftButton);
    for (const char* name : {"cCloudy", "cGreen", "cOdorous", "cFoaming", "cAlgae", "cHair"})
        EXPECT_FALSE(Get<QCheckBox>(*form, name).isEnabled()) << name;
    QGroupBox& stains = Get<QGroupBox>(*form, "dbgrStains");
    QGroupBox& organic = Get<QGroupBox>(*form, "dbgrOrganic");
    EXPECT_TRUE(stains.isEnabled());
    QTest::mouseClick(&Get<QRadioButton>(*form, "dbgrOrganicItem1"), Qt::LeftButton);
    EXPECT_FALSE(stains.isEnabled());
    EXPECT_TRUE(organic.isEnabled());
    QTest::mouseClick(&Get<QCheckBox>(*form, "dbchClean"), Qt::LeftButton);
    EXPECT_FALSE(organic.isEnabled());
    QTest::mouseClick(&Get<QCheckBox>(*form, "dbchChlorine"), Qt::LeftButton);
    EXPECT_FALSE(Get<QGroupBox>(*form, "dbgrChlorine").isEnabled());
    Get<QComboBox>(*form, "eMetric").setCurrentIndex(1);
    EXPECT_EQ(Get<QLineEdit>(*form, "Edit1").text(), "Foot");
    EXPECT_EQ(Get<QLineEdit>(*form, "Edit2").text(), "Foot");

    Edit(*form, "eVolume").SetValue(1000);
    form->StoreFields();
    EXPECT_TRUE(test.clear);
    EXPECT_TRUE(test.cloudy);
    EXPECT_EQ(test.stainType, 1);
    EXPECT_FALSE(test.chlorineUsed);
}

TEST_F(TestFormTest, ChloraminesFollowTheChlorineReadings) {
    auto form = Open();
    Edit(*form, "eTotalChlorine").SetValue(1.5L);
    Edit(*form, "eFree").SetValue(2);
    Edit(*form, "eChloramines").setFocus();
    EXPECT_EQ(Edit(*form, "eChloramines").Value(), 0);

    // Save recomputes them, also when the field was never entered after a change.
    Edit(*form, "eVolume").SetValue(1000);
    Edit(*form, "eTotalChlorine").setFocus();
    Edit(*form, "eTotalChlorine").SetValue(3.5L);
    Edit(*form, "eFree").SetValue(1);
    form->bSaveClick();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(test.chloramines, 2.5L);
}

TEST_F(TestFormTest, BadTimeWarnsBeforeAnythingIsWritten) {
    WriteLastSupplier("Old Supplier");
    body.note = "kept";
    test.supplier = "Aqua";
    auto form = Open();
    Edit(*form, "eVolume").SetValue(1000);
    Get<QPlainTextEdit>(*form, "eBodyNote").setPlainText("changed");
    Get<QPlainTextEdit>(*form, "eSupplier").setPlainText("New Supplier");
    Get<QTabWidget>(*form, "PageControl").setCurrentIndex(1);
    Get<QLineEdit>(*form, "eTime").setText("12:7x");
    form->bSaveClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Time: '12:7x' is not a valid time");
    EXPECT_TRUE(Get<QLineEdit>(*form, "eTime").hasFocus());
    EXPECT_EQ(Get<QTabWidget>(*form, "PageControl").currentIndex(), 0);
    EXPECT_EQ(body.note, "kept");
    EXPECT_EQ(test.supplier, "Aqua");
    EXPECT_EQ(ReadLastSupplier(), "Old Supplier");
    EXPECT_TRUE(form->isVisible());

    Get<QLineEdit>(*form, "eTime").clear(); // an empty time is midnight
    form->bSaveClick();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(test.time, 0);
    EXPECT_EQ(ReadLastSupplier(), "New Supplier");
}

TEST_F(TestFormTest, SaveRemembersOnlyANonBlankSupplierWholeWithItsLineBreaks) {
    WriteLastSupplier("Old Supplier");
    auto form = Open();
    Edit(*form, "eVolume").SetValue(1000);
    Get<QPlainTextEdit>(*form, "eSupplier").setPlainText(" \n ");
    form->bSaveClick();
    EXPECT_EQ(ReadLastSupplier(), "Old Supplier");

    const QString longSupplier = "Pool Shop\n" + QString(140, u'p');
    auto again = Open();
    Edit(*again, "eVolume").SetValue(1000);
    Get<QPlainTextEdit>(*again, "eSupplier").setPlainText(longSupplier);
    again->bSaveClick();
    EXPECT_EQ(ReadLastSupplier(), "Pool Shop\r\n" + std::string(140, 'p'));
    EXPECT_EQ(test.supplier, ("Pool Shop\r\n" + std::string(140, 'p')).substr(0, 127));
}

TEST_F(TestFormTest, WaterTestResultsWritesThePageOfTheUnsavedEntriesAndStaysOpen) {
    std::error_code ignored;
    fs::remove(ResultFilePath(), ignored);
    auto form = Open();
    Edit(*form, "eVolume").SetValue(45000);
    Get<QPlainTextEdit>(*form, "eBodyNote").setPlainText("Garden pool");
    Edit(*form, "ePH").SetValue(7.9L);
    Edit(*form, "eAlkalinity").SetValue(60);
    QTest::mouseClick(&Get<QPushButton>(*form, "bShowRes"), Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    const std::string html = FileText(ResultFilePath());
    EXPECT_NE(html.find("Garden pool"), std::string::npos);
    EXPECT_NE(html.find("Ann Owner"), std::string::npos);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0].toLocalFile().toStdString(), ResultFilePath());
    EXPECT_TRUE(boxes.shown.empty());
}

// Without a private temporary folder there is no result path: "Water Test Results" says so and
// writes nothing anywhere, the caller's blocks included.
TEST_F(TestFormTest, WaterTestResultsWithoutAResultPathRefusesWithABox) {
    params.resultPath.clear();
    body.note = "as stored";
    auto form = Open();
    Edit(*form, "eVolume").SetValue(45000);
    Get<QPlainTextEdit>(*form, "eBodyNote").setPlainText("typed");
    QTest::mouseClick(&Get<QPushButton>(*form, "bShowRes"), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Error");
    EXPECT_EQ(boxes.shown[0].text,
              "The result page cannot be written: no private temporary folder could be made for it.");
    EXPECT_EQ(boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(body.note, "as stored");
    EXPECT_FALSE(fs::exists("zelreslt.htm"));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TestFormTest, HelpByKeyAndButton) {
    auto form = Open();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QTest::mouseClick(&Get<QPushButton>(*form, "bHLP"), Qt::LeftButton);
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_TRUE(shell.opened[0].toLocalFile().endsWith("zel_plus.chm") ||
                shell.opened[0].toLocalFile().contains("help"));
    EXPECT_EQ(shell.opened[0], shell.opened[1]);
}

// ---- Openers ---------------------------------------------------------------------------------

// Runs `act` on the opened form once the window system shows it and has made it the active
// window (keys sent before that, on a real X server, meet a window the user could not type in),
// in its modal loop; gives what the opener gives.
bool WithShownForm(bool (*opener)(const TCallTestParams&), const TCallTestParams& params,
                   const std::function<void(TfTestForm&)>& act) {
    QTimer whenShown;
    whenShown.setInterval(5);
    QObject::connect(&whenShown, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TfTestForm*>(QApplication::activeModalWidget());
        if (!form || !form->windowHandle() || !form->windowHandle()->isExposed() || !form->isActiveWindow())
            return;
        whenShown.stop();
        act(*form);
    });
    whenShown.start();
    return opener(params);
}

// Runs `inspect` on the opened form once its modal loop runs, then presses `button`.
bool RunOpener(bool (*opener)(const TCallTestParams&), const TCallTestParams& params,
               const std::function<void(TfTestForm&)>& inspect, const char* button) {
    return WithShownForm(opener, params, [&](TfTestForm& form) {
        inspect(form);
        form.findChild<QPushButton*>(button)->click();
    });
}

// The widgets that Tab visits from the focused one until it comes back there (at most 60).
QStringList TabCycle(QWidget& form) {
    QStringList visited;
    QWidget* start = form.focusWidget();
    if (!start) return visited;
    for (int i = 0; i < 60; ++i) {
        QWidget* focused = form.focusWidget();
        visited << (focused ? focused->objectName() : QStringLiteral("(none)"));
        QTest::keyClick(focused ? focused : &form, Qt::Key_Tab);
        if (form.focusWidget() == start) break;
    }
    return visited;
}

// Typing goes somewhere from the start: the form opens on the first control of its tab order
// (the body kind's chosen button), and Tab runs through the form in its order and back.
TEST_F(TestFormTest, TheBodyFormsOpenOnTheirFirstControlAndTabInOrder) {
    body.kind = 2;
    const QString bodyPart = "dbgrBodyItem2 eVolume eVolMetric eWidth eMetric eLength eDepth eBodyNote";
    const QString testPart = "qt_tabwidget_tabbar eAlkalinity ePH eHardness eCopper eIron eTDS eORP "
                             "eTotalChlorine eFree eChloramines eBromine eCyanuric eAcid eTemperature "
                             "dbgrCelsiusItem0 eDate eTime eTestNote eSupplier";
    struct Case {
        const char* name;
        bool (*opener)(const TCallTestParams&);
        QString cycle;
    };
    const std::vector<Case> cases = {
        {"EditBodyOnly", &EditBodyOnly, bodyPart + " bSave bCancel bHLP"},
        {"EditNewBodyAndTest", &EditNewBodyAndTest,
         bodyPart + " " + testPart + " bSave bCancel bShowRes bHLP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList cycle;
        RunOpener(
            c.opener, params, [&](TfTestForm& form) { cycle = TabCycle(form); }, "bCancel");
        EXPECT_EQ(cycle.join(u' '), c.cycle);
    }
}

// Enter and keypad Enter press a button that Tab has brought the focus to, as Space does: in
// the body-only form and in the test form alike.
TEST_F(TestFormTest, EnterOnAFocusedButtonPressesIt) {
    body.volume = 45000;
    enum class Effect { Saved, Cancelled, Help, Results };
    struct Case {
        const char* name;
        bool (*opener)(const TCallTestParams&);
        const char* button;
        Effect effect;
    };
    const Case cases[] = {
        {"body-only Save", &EditBodyOnly, "bSave", Effect::Saved},
        {"body-only Cancel", &EditBodyOnly, "bCancel", Effect::Cancelled},
        {"body-only Help", &EditBodyOnly, "bHLP", Effect::Help},
        {"test form Save", &EditNewBodyAndTest, "bSave", Effect::Saved},
        {"test form Cancel", &EditNewBodyAndTest, "bCancel", Effect::Cancelled},
        {"test form Help", &EditNewBodyAndTest, "bHLP", Effect::Help},
        {"test form Water Test Results", &EditNewBodyAndTest, "bShowRes", Effect::Results},
    };
    for (const Case& c : cases) {
        for (const auto& [key, modifiers] :
             {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
            SCOPED_TRACE(std::string(c.name) + (key == Qt::Key_Enter ? ", keypad Enter" : ", Enter"));
            shell.opened.clear();
            bool reached = false, stillOpen = false;
            const bool saved = WithShownForm(c.opener, params, [&](TfTestForm& form) {
                auto* button = form.findChild<QPushButton*>(c.button);
                for (int i = 0; i < 80 && form.focusWidget() != button; ++i)
                    QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
                reached = form.focusWidget() == button;
                if (reached) QTest::keyClick(button, key, modifiers);
                QApplication::processEvents();
                stillOpen = form.isVisible();
                if (stillOpen) form.reject();
            });
            ASSERT_TRUE(reached);
            EXPECT_EQ(saved, c.effect == Effect::Saved);
            EXPECT_EQ(stillOpen, c.effect == Effect::Help || c.effect == Effect::Results);
            if (c.effect == Effect::Help) {
                ASSERT_EQ(shell.opened.size(), 1u);
                EXPECT_TRUE(shell.opened[0].toLocalFile().contains("help"));
            } else if (c.effect == Effect::Results) {
                ASSERT_EQ(shell.opened.size(), 1u);
                EXPECT_EQ(shell.opened[0].toLocalFile().toStdString(), ResultFilePath());
            } else {
                EXPECT_TRUE(shell.opened.empty());
            }
            EXPECT_TRUE(boxes.shown.empty());
        }
    }
}

TEST_F(TestFormTest, OpenersPrefillTheSupplierAndSetTheFocus) {
    WriteLastSupplier("Pool Shop\r\nMain St");
    test.supplier = "Own Supplier";
    struct Case {
        const char* name;
        bool (*opener)(const TCallTestParams&);
        QString supplier;
        bool readingFocused;
    };
    const std::vector<Case> cases = {
        {"EditNewBodyAndTest", &EditNewBodyAndTest, "Pool Shop\nMain St", false},
        {"EditNewTest", &EditNewTest, "Pool Shop\nMain St", true},
        {"EditExistingTest", &EditExistingTest, "Own Supplier", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString supplier, caption;
        bool focused = false, pagesShown = false;
        const bool saved = RunOpener(
            c.opener, params,
            [&](TfTestForm& form) {
                supplier = form.findChild<QPlainTextEdit*>("eSupplier")->toPlainText();
                caption = form.windowTitle();
                focused = form.focusWidget() == form.findChild<TZlCalcEdit*>("eAlkalinity");
                pagesShown = form.findChild<QTabWidget*>("PageControl")->isVisible();
            },
            "bCancel");
        EXPECT_FALSE(saved);
        EXPECT_EQ(supplier, c.supplier);
        EXPECT_EQ(caption, "Enter new TEST");
        EXPECT_EQ(focused, c.readingFocused);
        EXPECT_TRUE(pagesShown);
    }
    EXPECT_EQ(test.supplier, "Own Supplier"); // Cancel stores nothing
}

TEST_F(TestFormTest, BodyOnlyShowsNoTestPartAndSavesOnlyTheBody) {
    test.supplier = "untouched";
    body.volume = 5000;
    bool pagesShown = true, resultsShown = true;
    int height = 0, buttonsTop = 0;
    const bool saved = RunOpener(
        &EditBodyOnly, params,
        [&](TfTestForm& form) {
            pagesShown = form.findChild<QTabWidget*>("PageControl")->isVisible();
            resultsShown = form.findChild<QPushButton*>("bShowRes")->isVisible();
            height = form.height();
            buttonsTop = form.findChild<QWidget*>("panButtons")->y();
            SetRadioItemIndex(*form.findChild<QGroupBox*>("dbgrBody"), 2);
            form.findChild<QPlainTextEdit*>("eBodyNote")->clear();
        },
        "bSave");
    EXPECT_TRUE(saved);
    EXPECT_FALSE(pagesShown);
    EXPECT_FALSE(resultsShown);
    EXPECT_EQ(height, 433 - 250);
    EXPECT_EQ(buttonsTop, 399 - 250);
    EXPECT_EQ(body.kind, 2);
    EXPECT_EQ(body.note, "Pond");
    EXPECT_EQ(test.supplier, "untouched");
}

TEST_F(TestFormTest, TheBodyOnlyFormOpensCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.setGeometry(120, 90, 596, 469);
    mainWindow.show();
    mainWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
    // Both forms stand centred on the same main window (where exactly depends on the frame the
    // window system gives it), so their centres meet.
    QRect full, bodyOnly;
    RunOpener(
        &EditNewBodyAndTest, params, [&](TfTestForm& form) { full = form.geometry(); }, "bCancel");
    mainWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
    RunOpener(
        &EditBodyOnly, params, [&](TfTestForm& form) { bodyOnly = form.geometry(); }, "bCancel");
    EXPECT_EQ(bodyOnly.height(), full.height() - 250);
    const QPoint offCentre = bodyOnly.center() - full.center();
    EXPECT_LE(offCentre.manhattanLength(), 1) << offCentre.x() << ", " << offCentre.y();
}

// The readings and the date have the flat look: a square frame of one pixel in the
// window-frame colour, the field's own colour right inside it, focused or not. The body's
// fields keep the style's 3-D border.
bool LooksFlat(QLineEdit& field) {
    const QImage shown = field.grab().toImage();
    const QRgb frame = field.palette().color(QPalette::Active, QPalette::Shadow).rgb();
    const QRgb inside = field.palette().color(QPalette::Base).rgb();
    const int right = shown.width() - 1, bottom = shown.height() - 1;
    const QPoint edges[] = {{0, 0},          {right, 0},      {0, bottom},
                            {right, bottom}, {0, bottom / 2}, {right / 2, 0}};
    for (const QPoint& at : edges)
        if (shown.pixel(at) != frame) return false;
    return shown.pixel(1, bottom / 2) == inside && shown.pixel(right / 2, 1) == inside;
}

TEST_F(TestFormTest, TheReadingsAndTheDateAreFlat) {
    auto form = Open();
    for (const char* name :
         {"eDate", "eAlkalinity", "ePH", "eHardness", "eCopper", "eIron", "eTDS", "eORP", "eTotalChlorine",
          "eFree", "eChloramines", "eBromine", "eCyanuric", "eAcid", "eTemperature"}) {
        auto& field = Get<QLineEdit>(*form, name);
        EXPECT_EQ(field.height(), 21) << name; // no auto-size: the design's height
        EXPECT_TRUE(LooksFlat(field)) << name;
        field.setFocus();
        EXPECT_TRUE(LooksFlat(field)) << name << " focused";
    }
    for (const char* name : {"eVolume", "eWidth", "eLength", "eDepth"})
        EXPECT_FALSE(LooksFlat(Get<QLineEdit>(*form, name))) << name;
}

// Every caption on the Characteristics page shows whole in the fonts at hand: no text wider
// than its control, no control past its group's edge, no two side by side overlapping, and the
// radio circles of a group one below the other.
TEST_F(TestFormTest, TheCharacteristicsPageShowsEveryTextWhole) {
    auto form = Open();
    form->findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
    QWidget* page = form->findChild<QWidget*>("TabSheet2");
    ASSERT_NE(page, nullptr);
    const int circle = form->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight);
    for (QWidget* control : page->findChildren<QWidget*>()) {
        const std::string name = control->objectName().toStdString();
        const QRect place = control->geometry();
        EXPECT_TRUE(control->parentWidget()->rect().contains(place)) << name;
        if (qobject_cast<QAbstractButton*>(control)) {
            EXPECT_LE(control->sizeHint().width(), place.width()) << name;
        }
        if (qobject_cast<QRadioButton*>(control)) {
            EXPECT_GE(place.height(), circle) << name;
        }
        if (auto* label = qobject_cast<QLabel*>(control)) {
            const int needed =
                label->wordWrap() ? label->heightForWidth(place.width()) : label->sizeHint().height();
            EXPECT_LE(needed, place.height()) << name;
            if (!label->wordWrap()) {
                EXPECT_LE(label->sizeHint().width(), place.width()) << name;
            }
        }
        for (QWidget* other : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->parentWidget() == page && other != control) {
                EXPECT_FALSE(place.intersects(other->geometry()))
                    << name << " and " << other->objectName().toStdString();
            }
        }
    }
}

// ---- What the user sees ----------------------------------------------------------------------

TEST_F(TestFormTest, ScreenshotsOfBothPages) {
    body.kind = 0;
    body.width = 5;
    body.length = 10;
    body.depth = 1.5L;
    body.volume = 75000;
    body.note = "Back garden pool\r\nheated May to September";
    test.date = 46183; // 10 June 2026
    test.time = 14.5 / 24;
    const long double readings[] = {90, 7.6L, 220, 0.1L, 0.05L, 800, 680, 2.5L, 2, 0.5L, 0, 35, 1.5L, 26.5L};
    long double* fields[] = {&test.alkalinity,   &test.pH,          &test.hardness, &test.copper,
                             &test.iron,         &test.tds,         &test.orp,      &test.totalChlorine,
                             &test.freeChlorine, &test.chloramines, &test.bromine,  &test.cyanuric,
                             &test.acidDemand,   &test.temperature};
    for (std::size_t i = 0; i < std::size(readings); ++i)
        *fields[i] = readings[i];
    test.celsius = 1;
    test.cloudy = true;
    test.chlorineUsed = true;
    test.stainsClean = true;
    test.chlorineProduct = 1;
    test.sanitizer = 2;
    test.shock = 2;
    test.oxidizer = 3;
    test.supplier = "Aqua Supplies Ltd\r\n4 Mill Lane";
    test.testNote = "after the storm";
    if (test::ScreenshotFolder().isEmpty())
        GTEST_SKIP() << "set ZEL_SCREENSHOTS to a folder to keep the pictures";
    auto form = Open();
    EXPECT_TRUE(test::SaveScreenshot(*form, "TestFormParameters"));
    form->findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
    EXPECT_TRUE(test::SaveScreenshot(*form, "TestFormCharacteristics"));
    params.test = nullptr;
    auto bodyOnly = Open(0);
    EXPECT_TRUE(test::SaveScreenshot(*bodyOnly, "TestFormBodyOnly"));
}

} // namespace
