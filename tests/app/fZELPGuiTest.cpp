#include "FaultyFileOps.h"
#include "TempFolder.h"
#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "app/ClickLabel.h"
#include "app/fChart.h"
#include "app/fZELP.h"
#include "platform/DateTimeText.h"
#include "platform/ForwardingFileOps.h"
#include "storage/Storage.h"
#include "support/DrawnInk.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/Screenshots.h"
#include "widgets/SpeedButton.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The window with its handlers counted instead of run.
class CountingZELP : public TZELP {
public:
    std::vector<std::string> handled;
    void NewbodyofWater1Click() override { handled.push_back("NewbodyofWater1Click"); }
    void NewBodyTestClick() override { handled.push_back("NewBodyTestClick"); }
    void EditBodyClick() override { handled.push_back("EditBodyClick"); }
    void bNewTestClick() override { handled.push_back("bNewTestClick"); }
    void EditTestClick() override { handled.push_back("EditTestClick"); }
    void DeleteTestClick() override { handled.push_back("DeleteTestClick"); }
    void DeleteBodyofWater1Click() override { handled.push_back("DeleteBodyofWater1Click"); }
    void ShowResultClick() override { handled.push_back("ShowResultClick"); }
    void Index1Click() override { handled.push_back("Index1Click"); }
    void Setparameters1Click() override { handled.push_back("Setparameters1Click"); }
    void AboutBrinovaVesk1Click() override { handled.push_back("AboutBrinovaVesk1Click"); }
    void BrinovaVeskoninternet1Click() override { handled.push_back("BrinovaVeskoninternet1Click"); }
    void Exit1Click() override { handled.push_back("Exit1Click"); }
};

// Fails one chosen read of one record of the data file (0: none) and counts the reads of that
// record. Install it before the data file is opened.
class FailingRecordRead final : public platform::ForwardingFileOps {
public:
    FailingRecordRead() : previous_(platform::SetFiles(this)) {}
    ~FailingRecordRead() override { platform::SetFiles(previous_); }
    void Watch(std::int32_t record, int failingRead) {
        offset_ = static_cast<std::int64_t>(record) * kStoredRecordSize;
        failingRead_ = failingRead;
        reads = 0;
    }
    int reads = 0;

    platform::SystemError Open(const std::string& path, platform::FileDisposition d, platform::FileAccess a,
                               platform::FileSharing s, platform::FileHandle& handle) override {
        const platform::SystemError e = Wrapped().Open(path, d, a, s, handle);
        if (e == 0 && path.size() > 4 && path.compare(path.size() - 4, 4, ".DAT") == 0) data_ = handle;
        return e;
    }
    platform::SystemError Read(platform::FileHandle h, std::int64_t offset, void* buffer, std::size_t length,
                               std::size_t& done) override {
        if (h == data_ && offset == offset_ && ++reads == failingRead_) return platform::win32::kIoDevice;
        return Wrapped().Read(h, offset, buffer, length, done);
    }
    platform::SystemError Close(platform::FileHandle h) override {
        if (h == data_) data_ = -1;
        return Wrapped().Close(h);
    }

private:
    std::int64_t offset_ = -1;
    int failingRead_ = 0;
    platform::FileHandle data_ = -1;
    platform::FileOps* previous_;
};

double Day(int year, int month, int day, int hour = 0, int minute = 0) {
    return *platform::EncodeDayCount(year, month, day, hour, minute);
}

TStoredRecord Body(std::uint8_t kind, long double volume, const std::string& note = "") {
    TStoredRecord stored;
    stored.body.kind = kind;
    stored.body.volume = volume;
    stored.body.width = 5;
    stored.body.length = 12.5L;
    stored.body.depth = 1.355L;
    stored.body.note = note;
    return stored;
}

TStoredRecord WaterTest(double when, const std::string& note) {
    TStoredRecord stored;
    stored.test.date = std::floor(when);
    stored.test.time = when - std::floor(when);
    stored.test.testNote = note;
    stored.test.pH = 7.2L;
    return stored;
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartBrinovaDB()); }
    static void TearDownTestSuite() { StopBrinovaDB(); }

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        SetProgramFolder(root + "/");
        SetConfigurationFile(root + "/zelplus.ini");
        ASSERT_TRUE(EnsureDataFolder());
    }
    void TearDown() override {
        SetProgramFolder("");
        SetConfigurationFile("zelplus.ini");
    }

    // Stores the bodies with their tests, then closes the file for the window to open.
    std::vector<std::int32_t>
    Store(const std::vector<std::pair<TStoredRecord, std::vector<TStoredRecord>>>& bodies) {
        std::vector<std::int32_t> numbers;
        OpenRec(DataFilePath());
        for (auto [body, tests] : bodies) {
            const std::int32_t n = AddBody(body);
            numbers.push_back(n);
            for (TStoredRecord test : tests)
                numbers.push_back(AddTestRecord(test, n));
        }
        CloseRec();
        EXPECT_TRUE(boxes.shown.empty());
        return numbers;
    }

    template <typename T> static T* Find(QWidget& window, const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QString Text(QWidget& window, const char* label) { return Find<QLabel>(window, label)->text(); }
    static bool Enabled(QWidget& window, const char* name) {
        if (auto* action = window.findChild<QAction*>(QString::fromLatin1(name))) return action->isEnabled();
        return Find<QWidget>(window, name)->isEnabled();
    }
    static QTreeWidget* Tests(QWidget& window) { return Find<QTreeWidget>(window, "lTests"); }
    static QListWidget* Bodies(QWidget& window) { return Find<QListWidget>(window, "BV"); }
    static void ExpectEmptyLists(TZELP& window);
    // After the one box of a failed open: the first activation offers nothing, the lists stay
    // empty, and refreshing them says nothing more.
    void ExpectRunsWithoutAFile(CountingZELP& window);

    // The program folder and configuration of one test, removed with everything in it.
    test::TempFolder scratch;
    const std::string root = scratch.Path();
    RecordingMessageBoxes boxes;
    RecordingShell shell;
};

const char* const kBodyControls[] = {"bEdit",
                                     "bNewTest",
                                     "SpeedButton2",
                                     "EditBodyofWater1",
                                     "EditbodyofWater2",
                                     "DeleteBodyofWater1",
                                     "DeleteBodyofWater2",
                                     "Newwatertest1"};
const char* const kTestControls[] = {"bShow",          "bEditTest",        "bDelTest",
                                     "Editwatertest1", "Deletewatertest1", "Showwatertestresults1"};
const char* const kNewBodyControls[] = {"SpeedButton1",
                                        "SpeedButton3",
                                        "NewbodyofWater1",
                                        "NewBodyofWaterFirstWaterTest1",
                                        "New1",
                                        "NewBodyofWaterFirstWaterTest2",
                                        "bNew"};

// Both lists empty, their panels at 0, and only the new-body commands enabled.
void MainWindowTest::ExpectEmptyLists(TZELP& window) {
    EXPECT_EQ(Bodies(window)->count(), 0);
    EXPECT_EQ(Tests(window)->topLevelItemCount(), 0);
    EXPECT_EQ(window.PanelText(0), "Bodies: 0");
    EXPECT_EQ(window.PanelText(1), "Tests: 0");
    for (const char* name : kBodyControls)
        EXPECT_FALSE(Enabled(window, name)) << name;
    for (const char* name : kTestControls)
        EXPECT_FALSE(Enabled(window, name)) << name;
    for (const char* name : kNewBodyControls)
        EXPECT_TRUE(Enabled(window, name)) << name;
    EXPECT_EQ(Text(window, "lSel"), "");
}

void MainWindowTest::ExpectRunsWithoutAFile(CountingZELP& window) {
    const std::size_t shown = boxes.shown.size();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(20);
    EXPECT_TRUE(window.handled.empty());
    window.RefreshBodies(0);
    window.RefreshTests(1);
    EXPECT_EQ(boxes.shown.size(), shown);
    ExpectEmptyLists(window);
}

TEST_F(MainWindowTest, AnEmptyDataFileOffersTheNewBodyOnceAtTheFirstActivation) {
    CountingZELP window;
    EXPECT_TRUE(fs::exists(root + "/data/zelp.DAT"));
    ExpectEmptyLists(window);

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.handled.empty(); }, 1000));
    EXPECT_EQ(window.handled, std::vector<std::string>{"NewbodyofWater1Click"});

    // The entry was cancelled (the file is still empty): leaving and coming back offers nothing.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(20);
    EXPECT_EQ(window.handled.size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, ADataFileThatCannotOpenOffersNoNewBody) {
    Store({});
    Fileblock* holder = nullptr;
    FbOpen(holder, DataFilePath(), false, false, true, false);
    ASSERT_TRUE(FbOk);
    {
        CountingZELP window;
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_TRUE(boxes.shown[0].text.startsWith("Data read/write error! (OpenRec: "))
            << boxes.shown[0].text.toStdString();
        EXPECT_EQ(boxes.shown[1].text.toStdString(), HeldByAnotherProgramText(DataFilePath()));
        ExpectRunsWithoutAFile(window);
    }
    FbClose(holder);
}

TEST_F(MainWindowTest, AMissingDataFileBesideItsIndexGetsOneBoxAndTheWindowRunsWithoutIt) {
    TStoredRecord body;
    Store({{body, {}}});
    const std::string index = root + "/data/zelp.IX";
    const auto indexBytes = test::ReadWholeFile(index);
    fs::remove(DataFilePath());
    {
        CountingZELP window;
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(
            QString::fromStdString("The data file " + DataFilePath() + " is missing, but " + index)))
            << boxes.shown[0].text.toStdString();
        ExpectRunsWithoutAFile(window);
    }
    EXPECT_FALSE(fs::exists(DataFilePath()));
    EXPECT_EQ(test::ReadWholeFile(index), indexBytes);
}

TEST_F(MainWindowTest, ABodyWithoutTestsAllowsOnlyTheBodyCommands) {
    Store({{Body(0, 45000, "Behind the house"), {}}});
    CountingZELP window;
    ASSERT_EQ(Bodies(window)->count(), 1);
    QListWidgetItem* item = Bodies(window)->item(0);
    EXPECT_EQ(item->text(), "1. Swimming Pool");
    EXPECT_TRUE(item->isSelected());
    EXPECT_EQ(window.SelectedBodyNr(), 1);
    EXPECT_EQ(window.SelectedTestNr(), -1);
    EXPECT_EQ(Text(window, "lBody"), "Swimming Pool");
    EXPECT_EQ(Text(window, "lVolume"), "45000.00 Liter");
    EXPECT_EQ(Text(window, "lWidth"), "5.00 Metre");
    EXPECT_EQ(Text(window, "lLength"), "12.50 Metre");
    EXPECT_EQ(Text(window, "lDepth"), "1.36 Metre");
    EXPECT_EQ(Text(window, "lBodyNote"), "Behind the house");
    EXPECT_EQ(window.PanelText(0), "Bodies: 1");
    EXPECT_EQ(window.PanelText(1), "Tests: 0");
    for (const char* name : kBodyControls)
        EXPECT_TRUE(Enabled(window, name)) << name;
    for (const char* name : kTestControls)
        EXPECT_FALSE(Enabled(window, name)) << name;
    EXPECT_EQ(Text(window, "lSel"), "Selected test:");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, TestsStandNewestFirstAndTheSelectedOneIsNamed) {
    Store({{Body(1, 1500),
            {WaterTest(Day(2024, 6, 1, 9, 30), "after rain"), WaterTest(Day(2024, 6, 3, 18, 5), ""),
             WaterTest(Day(2024, 6, 2, 7, 0), "two\r\nlines")}},
           {Body(2, 80000), {}}});
    CountingZELP window;
    EXPECT_EQ(Bodies(window)->item(1)->text(), "2. Pond");
    QTreeWidget* tests = Tests(window);
    ASSERT_EQ(tests->topLevelItemCount(), 3);
    const QStringList dates{tests->topLevelItem(0)->text(0), tests->topLevelItem(1)->text(0),
                            tests->topLevelItem(2)->text(0)};
    EXPECT_EQ(dates, (QStringList{"6/3/2024", "6/2/2024", "6/1/2024"}));
    EXPECT_EQ(tests->topLevelItem(0)->text(1), "6:05:00 PM");
    EXPECT_EQ(tests->topLevelItem(1)->text(2), "two; lines");
    EXPECT_EQ(window.PanelText(1), "Tests: 3");
    EXPECT_EQ(window.SelectedTestNr(), 3);
    // The newest test has an empty note: the comma still stands.
    EXPECT_EQ(Text(window, "lSel"), "Selected test:    6/3/2024 6:05:00 PM, ");
    tests->setCurrentItem(tests->topLevelItem(2));
    EXPECT_EQ(Text(window, "lSel"), "Selected test:    6/1/2024 9:30:00 AM, after rain");
    EXPECT_EQ(window.SelectedTestNr(), 2);
    EXPECT_EQ(window.TestList().size(), 3u);
}

TEST_F(MainWindowTest, CommandStatesFollowEverySelection) {
    Store({{Body(0, 100), {WaterTest(Day(2024, 6, 1), "a")}}, {Body(3, 200), {}}});
    CountingZELP window;
    QListWidget* bodies = Bodies(window);
    QTreeWidget* tests = Tests(window);
    struct Step {
        const char* name;
        std::function<void()> select;
        bool bodyCommands, testCommands;
        const char* selectedCaption; // never a test the list does not show
    };
    const char* const named = "Selected test:    6/1/2024 12:00:00 AM, a";
    const std::vector<Step> steps = {
        {"a body and its test", [] {}, true, true, named},
        {"the test deselected", [&] { tests->clearSelection(); }, true, false, named},
        {"the test again", [&] { tests->topLevelItem(0)->setSelected(true); }, true, true, named},
        {"a body without tests", [&] { bodies->setCurrentRow(1); }, true, false, "Selected test:"},
        {"no body", [&] { bodies->clearSelection(); }, false, false, ""},
        {"the first body again", [&] { bodies->setCurrentRow(0); }, true, true, named},
    };
    for (const Step& step : steps) {
        step.select();
        window.UpdateCommandStates();
        for (const char* name : kBodyControls)
            EXPECT_EQ(Enabled(window, name), step.bodyCommands) << step.name << name;
        for (const char* name : kTestControls)
            EXPECT_EQ(Enabled(window, name), step.testCommands) << step.name << name;
        for (const char* name : kNewBodyControls)
            EXPECT_TRUE(Enabled(window, name)) << step.name << name;
        EXPECT_EQ(Text(window, "lSel"), QString::fromLatin1(step.selectedCaption)) << step.name;
    }
    // The popup's items follow their buttons when it opens.
    auto* popup = window.findChild<QMenu*>("PopupMenu1");
    ASSERT_NE(popup, nullptr);
    tests->clearSelection();
    window.UpdateCommandStates();
    window.PopupMenu1Popup();
    for (const char* name : {"Showresults1", "Edittest1", "Deletetest1"})
        EXPECT_FALSE(Enabled(window, name)) << name;
    tests->topLevelItem(0)->setSelected(true);
    window.UpdateCommandStates();
    window.PopupMenu1Popup();
    for (const char* name : {"Showresults1", "Edittest1", "Deletetest1"})
        EXPECT_TRUE(Enabled(window, name)) << name;
}

TEST_F(MainWindowTest, RefreshBodiesSelectsTheWantedBodyElseTheFirst) {
    const std::vector<std::int32_t> n =
        Store({{Body(0, 1), {}}, {Body(1, 2), {WaterTest(Day(2024, 1, 1), "x")}}, {Body(2, 3), {}}});
    CountingZELP window;
    const std::int32_t second = n[1];
    QListWidgetItem* found = window.RefreshBodies(second);
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->isSelected());
    EXPECT_EQ(window.SelectedBodyNr(), second);
    EXPECT_EQ(window.PanelText(1), "Tests: 1");
    EXPECT_EQ(Text(window, "lBody"), "Spa/Hot Tub");

    EXPECT_EQ(window.RefreshBodies(9999), nullptr);
    EXPECT_EQ(window.SelectedBodyNr(), n[0]);
    EXPECT_EQ(Bodies(window)->selectedItems().size(), 1);
    EXPECT_EQ(window.PanelText(1), "Tests: 0");
    EXPECT_EQ(Text(window, "lBody"), "Swimming Pool");

    window.RefreshTests(0);
    EXPECT_EQ(Tests(window)->topLevelItemCount(), 0);
    EXPECT_EQ(window.PanelText(1), "Tests: 0");
}

TEST_F(MainWindowTest, AFailedReadEndsTheBodiesButSkipsOnlyThatTest) {
    const std::vector<std::int32_t> n =
        Store({{Body(0, 1),
                {WaterTest(Day(2024, 6, 1), "old"), WaterTest(Day(2024, 6, 2), "mid"),
                 WaterTest(Day(2024, 6, 3), "new")}},
               {Body(1, 2), {}},
               {Body(2, 3), {}}});
    const std::int32_t firstBody = n[0], middleTest = n[2], secondBody = n[4];
    FailingRecordRead files;
    CountingZELP window;
    ASSERT_EQ(Bodies(window)->count(), 3);

    // A plain refresh shows how often the record is read: the last of those reads is the
    // window's own, after the database layer has listed it.
    const auto failLastRead = [&](std::int32_t record, const std::function<void()>& refresh) {
        files.Watch(record, 0);
        refresh();
        ASSERT_GE(files.reads, 1);
        files.Watch(record, files.reads);
        refresh();
        files.Watch(0, 0);
    };
    failLastRead(secondBody, [&] { window.RefreshBodies(0); });
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Data read/write error! (GetRec: "))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(Bodies(window)->count(), 1);
    EXPECT_EQ(window.PanelText(0), "Bodies: 3");
    EXPECT_EQ(window.SelectedBodyNr(), firstBody);
    EXPECT_EQ(Tests(window)->topLevelItemCount(), 3);

    boxes.shown.clear();
    failLastRead(middleTest, [&] { window.RefreshTests(firstBody); });
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Data read/write error! (GetRec: "));
    ASSERT_EQ(Tests(window)->topLevelItemCount(), 2);
    EXPECT_EQ(Tests(window)->topLevelItem(0)->text(2), "new");
    EXPECT_EQ(Tests(window)->topLevelItem(1)->text(2), "old");
    EXPECT_EQ(window.PanelText(1), "Tests: 3");
}

TEST_F(MainWindowTest, ResizingGrowsTheTestListAndOnlyTheNoteColumn) {
    Store({{Body(0, 1), {WaterTest(Day(2024, 6, 1), "n")}}});
    CountingZELP window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTreeWidget* tests = Tests(window);
    auto* show = Find<QPushButton>(window, "bShow");
    auto* chart = Find<QLabel>(window, "Label7");
    const QRect list = tests->geometry();
    const int note = tests->columnWidth(2), showX = show->x(), chartX = chart->x(), showY = show->y();
    EXPECT_EQ(tests->columnWidth(0), 88);
    EXPECT_EQ(tests->columnWidth(1), 88);

    QWidget* pan = Find<QWidget>(window, "pan");
    const int panHeight = pan->height();
    window.resize(window.width() + 100, window.height() + 40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return tests->width() == list.width() + 100; }, 1000));
    EXPECT_GT(pan->height(), panHeight + 30);
    EXPECT_EQ(tests->height(), list.height() + pan->height() - panHeight);
    EXPECT_EQ(tests->columnWidth(0), 88);
    EXPECT_EQ(tests->columnWidth(1), 88);
    EXPECT_EQ(tests->columnWidth(2), note + 100);
    EXPECT_EQ(show->x(), showX + 100);
    EXPECT_EQ(show->y(), showY);
    EXPECT_EQ(chart->x(), chartX + 100);
    EXPECT_EQ(window.minimumSize(), QSize(588, 460));
}

TEST_F(MainWindowTest, AStoredPositionOffTheScreenIsPulledBack) {
    Store({});
    ASSERT_TRUE(SaveFormPosition(TFormBounds{2000, 2000, 620, 480}));
    {
        CountingZELP window;
        EXPECT_EQ(window.size(), QSize(620, 480));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.pos(), QPoint(100, 10));
    }
    ASSERT_TRUE(SaveFormPosition(TFormBounds{-50, -20, 620, 480}));
    CountingZELP window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.pos(), QPoint(100, 10));
}

TEST_F(MainWindowTest, ClosingKeepsTheNormalGeometryAndClosesTheDataFile) {
    Store({});
    ASSERT_TRUE(SaveFormPosition(TFormBounds{30, 40, 600, 470}));
    CountingZELP window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.showMaximized();
    QTest::qWait(20);
    window.close();
    EXPECT_EQ(RecordFileblock(), nullptr);
    const TFormBounds kept = LoadFormPosition(TFormBounds{});
    EXPECT_EQ(kept.width, 600);
    EXPECT_EQ(kept.height, 470);
    EXPECT_EQ(kept.left, 30);
    EXPECT_EQ(kept.top, 40);
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsSeparatorsAndShortcuts) {
    Store({});
    CountingZELP window;
    const auto items = [&](const char* menu) {
        QStringList captions;
        for (QAction* action : Find<QMenu>(window, menu)->actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return captions;
    };
    EXPECT_EQ(window.windowTitle(), "Brinova Vesk+");
    EXPECT_EQ(Find<QMenu>(window, "File1")->title(), "File");
    EXPECT_EQ(Find<QMenu>(window, "BodyofWater1")->title(), "Pool/Spa");
    EXPECT_EQ(Find<QMenu>(window, "Help1")->title(), "Help");
    EXPECT_EQ(items("File1"),
              (QStringList{"Set parameters", "-", "Repair data", "Backup data", "Restore dta", "-", "Exit"}));
    EXPECT_EQ(items("BodyofWater1"),
              (QStringList{"New Body of Water", "New Body of Water + First Water Test", "Edit Body of Water",
                           "Delete Body of Water", "-", "New water test", "Edit water test",
                           "Delete water test", "-", "Show water test results"}));
    EXPECT_EQ(items("Help1"), (QStringList{"Index", "About Brinova Vesk+", "-", "Brinova Vesk on internet"}));
    EXPECT_EQ(items("PopupMenu1"), (QStringList{"Show results", "Edit test", "-", "Delete test"}));
    EXPECT_EQ(items("PopupMenu2"),
              (QStringList{"Edit Body of Water", "Delete Body of Water", "-", "New Body of Water",
                           "New Body of Water + First Water Test"}));
    const auto shortcut = [&](const char* name) { return window.findChild<QAction*>(name)->shortcut(); };
    EXPECT_EQ(shortcut("NewbodyofWater1"), QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    EXPECT_EQ(shortcut("Newwatertest1"), QKeySequence(Qt::Key_Insert));
    EXPECT_EQ(shortcut("Showwatertestresults1"), QKeySequence(Qt::Key_F2));
    for (const char* name : {"Repairdata1", "Backupdata1", "Restoredta1"})
        EXPECT_FALSE(Enabled(window, name)) << name;
    const auto hint = [&](const char* name) { return Find<QWidget>(window, name)->toolTip(); };
    EXPECT_EQ(hint("SpeedButton3"), "New Body of Water");
    EXPECT_EQ(hint("SpeedButton1"), "New Body of Water + First test");
    EXPECT_EQ(hint("SpeedButton2"), "Edit Body of Water");
    // The header's buttons are flat speed buttons with their glyph, at 96, 120 and 152 on the
    // header (plus the panel's border of 2).
    const std::pair<const char*, int> speedButtons[] = {
        {"SpeedButton3", 98}, {"SpeedButton1", 122}, {"SpeedButton2", 154}};
    for (const auto& [name, x] : speedButtons) {
        auto* button = Find<widgets::TZlSpeedButton>(window, name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_TRUE(button->Flat()) << name;
        EXPECT_EQ(button->Glyph().Width(), 16) << name;
        EXPECT_EQ(button->x(), x) << name;
    }
    EXPECT_EQ(hint("bNew"), "New Body of Water + First test");
    EXPECT_EQ(hint("lSel"), "Edit water test");
    const char* const charts[] = {"Total Alkalinity",
                                  "pH",
                                  "Total Hardness",
                                  "Copper",
                                  "Iron",
                                  "TDS",
                                  "ORP",
                                  "Total chlorine",
                                  "Free Chlorine",
                                  "Chloramines",
                                  "Bromine",
                                  "Cyanuric Acid",
                                  "Acid Demand",
                                  "Temperature"};
    for (int tag = 0; tag < 14; ++tag) {
        const std::string name = "Label" + std::to_string(7 + tag);
        auto* link = Find<QLabel>(window, name.c_str());
        EXPECT_EQ(link->text(), charts[tag]);
        EXPECT_EQ(link->property("Tag").toInt(), tag);
    }
}

TEST_F(MainWindowTest, EveryControlRunsItsHandler) {
    Store({{Body(0, 1), {WaterTest(Day(2024, 6, 1), "n")}}});
    CountingZELP window;
    window.show();
    // F1 is the window's shortcut: it reaches the window only once it is the active one.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const std::vector<std::pair<const char*, std::string>> controls = {
        {"SpeedButton3", "NewbodyofWater1Click"},
        {"SpeedButton1", "NewBodyTestClick"},
        {"SpeedButton2", "EditBodyClick"},
        {"bNew", "NewBodyTestClick"},
        {"bEdit", "EditBodyClick"},
        {"bShow", "ShowResultClick"},
        {"bNewTest", "bNewTestClick"},
        {"bEditTest", "EditTestClick"},
        {"bDelTest", "DeleteTestClick"},
        {"lBody", "EditBodyClick"},
        {"lSel", "EditTestClick"},
        {"Setparameters1", "Setparameters1Click"},
        {"Exit1", "Exit1Click"},
        {"NewbodyofWater1", "NewbodyofWater1Click"},
        {"NewBodyofWaterFirstWaterTest1", "NewBodyTestClick"},
        {"EditBodyofWater1", "EditBodyClick"},
        {"DeleteBodyofWater1", "DeleteBodyofWater1Click"},
        {"Newwatertest1", "bNewTestClick"},
        {"Editwatertest1", "EditTestClick"},
        {"Deletewatertest1", "DeleteTestClick"},
        {"Showwatertestresults1", "ShowResultClick"},
        {"Index1", "Index1Click"},
        {"AboutBrinovaVesk1", "AboutBrinovaVesk1Click"},
        {"BrinovaVeskoninternet1", "BrinovaVeskoninternet1Click"},
        {"Showresults1", "ShowResultClick"},
        {"Edittest1", "EditTestClick"},
        {"Deletetest1", "DeleteTestClick"},
        {"EditbodyofWater2", "EditBodyClick"},
        {"DeleteBodyofWater2", "DeleteBodyofWater1Click"},
        {"New1", "NewbodyofWater1Click"},
        {"NewBodyofWaterFirstWaterTest2", "NewBodyTestClick"},
    };
    for (const auto& [name, handler] : controls) {
        window.handled.clear();
        if (auto* action = window.findChild<QAction*>(name)) {
            action->setEnabled(true);
            action->trigger();
        } else if (auto* button = window.findChild<QAbstractButton*>(name)) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (auto* speedButton = window.findChild<widgets::TZlSpeedButton*>(name)) {
            QTest::mouseClick(speedButton, Qt::LeftButton);
        } else {
            QTest::mouseClick(Find<QLabel>(window, name), Qt::LeftButton);
        }
        EXPECT_EQ(window.handled, std::vector<std::string>{handler}) << name;
    }
    // Enter in the lists, double clicks on their items.
    const std::vector<std::pair<QWidget*, std::string>> keys = {{Bodies(window), "EditBodyClick"},
                                                                {Tests(window), "EditTestClick"}};
    for (const auto& [list, handler] : keys) {
        window.handled.clear();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        EXPECT_EQ(window.handled, std::vector<std::string>{handler});
    }
    window.handled.clear();
    emit Bodies(window)->itemDoubleClicked(Bodies(window)->item(0));
    emit Tests(window)->itemDoubleClicked(Tests(window)->topLevelItem(0), 0);
    EXPECT_EQ(window.handled, (std::vector<std::string>{"EditBodyClick", "EditTestClick"}));

    // F1 opens the records' help page, wherever the focus is.
    Tests(window)->setFocus();
    QTest::keyClick(Tests(window), Qt::Key_F1);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_TRUE(shell.opened[0].toString().endsWith("/help/recs.htm"))
        << shell.opened[0].toString().toStdString();
}

// Dark pixels (text) and pixels of the selection colour in the first line of the test list.
struct LineInk {
    int dark = 0;
    int highlight = 0;
};
LineInk InkOfFirstLine(QTreeWidget* tests) {
    const QRect line = tests->visualItemRect(tests->topLevelItem(0)).adjusted(0, 1, 0, -2);
    const QImage image = tests->viewport()->grab(line).toImage();
    const QColor highlight = tests->palette().color(QPalette::Highlight);
    LineInk ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.lightness() < 100) ++ink.dark;
            if (pixel == highlight) ++ink.highlight;
        }
    return ink;
}

TEST_F(MainWindowTest, TheCurrentTestLineIsBoldOnlyWhileTheListHasTheFocus) {
    Store({{Body(0, 1),
            {WaterTest(Day(2024, 6, 1, 9, 30), "a long note that runs on and on past its column")}}});
    CountingZELP window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTreeWidget* tests = Tests(window);
    Bodies(window)->setFocus();
    QTest::qWait(10);
    const LineInk unfocused = InkOfFirstLine(tests);
    tests->setFocus();
    QTest::qWait(10);
    const LineInk focused = InkOfFirstLine(tests);
    EXPECT_GT(unfocused.dark, 0);
    EXPECT_GT(focused.dark, unfocused.dark * 11 / 10);
    // The selected line is drawn over the list's own background, never in the selection colour.
    EXPECT_EQ(focused.highlight, 0);
    EXPECT_EQ(unfocused.highlight, 0);
}

// The line of the list of bodies that Enter acts on is marked while the list has the focus, as
// the test list marks its own; the other bodies look the same either way.
TEST_F(MainWindowTest, TheCurrentBodyIsMarkedWhileTheListOfBodiesHasTheFocus) {
    Store({{Body(0, 1), {}}, {Body(2, 5), {}}, {Body(3, 8), {}}});
    CountingZELP window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QListWidget* bodies = Bodies(window);
    // At the start the list of bodies has the focus, and Enter there edits the current body.
    EXPECT_EQ(QApplication::focusWidget(), bodies);
    bodies->setCurrentRow(1);
    // The ink of a body's item: its caption's letters in the selected colour for the selected
    // body, whatever is not the list's ground for the others.
    const auto inkOf = [&](int row) {
        const QImage drawn = bodies->viewport()->grab().toImage();
        const QRect item = bodies->visualItemRect(bodies->item(row));
        if (!bodies->item(row)->isSelected()) return test::InkPixels(drawn, item);
        const QColor letters = bodies->palette().color(QPalette::HighlightedText);
        return test::PixelsWhere(drawn, item, [&](const QColor& pixel) {
            return std::abs(pixel.red() - letters.red()) + std::abs(pixel.green() - letters.green()) +
                       std::abs(pixel.blue() - letters.blue()) <
                   90;
        });
    };
    Tests(window)->setFocus();
    QTest::qWait(20);
    const int unfocused[] = {inkOf(0), inkOf(1), inkOf(2)};
    // Reached by Tab from the test list, through New test.
    for (int presses = 0; presses < 8 && QApplication::focusWidget() != bodies; ++presses) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::qWait(10);
    }
    ASSERT_EQ(QApplication::focusWidget(), bodies);
    QTest::qWait(20);
    const int focused[] = {inkOf(0), inkOf(1), inkOf(2)};
    test::SaveScreenshot(window, "main-window-bodies-focused");
    EXPECT_GT(unfocused[1], 0);
    EXPECT_GT(focused[1], unfocused[1] * 11 / 10);
    EXPECT_EQ(focused[0], unfocused[0]);
    EXPECT_EQ(focused[2], unfocused[2]);
}

TEST_F(MainWindowTest, AChartLinkChartsItsReadingOverTheShownTests) {
    Store({{Body(1, 2200), {WaterTest(Day(2024, 6, 1), "a"), WaterTest(Day(2024, 6, 2), "b")}}});
    CountingZELP window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QString caption;
    QString chartTitle;
    QTimer::singleShot(50, [&] {
        QWidget* chart = QApplication::activeModalWidget();
        if (!chart) return;
        caption = chart->windowTitle();
        if (auto* form = qobject_cast<TfmChart*>(chart)) chartTitle = form->Chart->chart()->title();
        chart->close();
    });
    QTest::mouseClick(Find<QLabel>(window, "Label8"), Qt::LeftButton);
    EXPECT_EQ(caption, "Spa/Hot Tub, 2200.00 Liter");
    EXPECT_EQ(chartTitle, "pH");
}

TEST_F(MainWindowTest, TheBackgroundPictureIsUsedWhenThereAndSkippedSilentlyWhenNot) {
    Store({{Body(0, 1), {}}});
    {
        CountingZELP window;
        EXPECT_TRUE(Find<QLabel>(window, "Image1")->pixmap().isNull());
    }
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(QColor(200, 220, 255));
    ASSERT_TRUE(picture.save(QString::fromStdString(root + "/bg.bmp"), "BMP"));
    CountingZELP window;
    EXPECT_FALSE(Find<QLabel>(window, "Image1")->pixmap().isNull());
    EXPECT_EQ(Tests(window)->palette().brush(QPalette::Base).style(), Qt::TexturePattern);
    EXPECT_EQ(Bodies(window)->palette().brush(QPalette::Base).style(), Qt::TexturePattern);
    EXPECT_TRUE(boxes.shown.empty());

    // A look at the whole window with the program's own picture, for a person to compare with
    // the design.
    if (!test::ScreenshotFolder().isEmpty()) {
        fs::copy_file(QT_TESTCASE_SOURCEDIR "/../../app/bg.bmp", root + "/bg.bmp",
                      fs::copy_options::overwrite_existing);
        const std::vector<std::int32_t> n =
            Store({{Body(1, 2200, "Heated, by the terrace. Cover on from October."),
                    {WaterTest(Day(2024, 6, 3, 18, 5),
                               "after the storm: shocked, brushed the walls, backwashed filter"),
                     WaterTest(Day(2024, 5, 28, 8, 0), ""),
                     WaterTest(Day(2024, 5, 20, 9, 15), "shocked the day before")}},
                   {Body(2, 5000), {WaterTest(Day(2024, 5, 1, 8, 0), "")}},
                   {Body(3, 800), {}},
                   {Body(4, 120), {}}});
        CountingZELP filled;
        filled.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&filled));
        filled.RefreshBodies(n[0]);
        Tests(filled)->setFocus();
        QTest::qWait(20);
        test::SaveScreenshot(filled, "main-window");
        filled.resize(900, 640);
        QTest::qWait(50);
        test::SaveScreenshot(filled, "main-window-larger");
        filled.showMaximized();
        QTest::qWait(200);
        test::SaveScreenshot(filled, "main-window-maximised");
    }
}

// Dark pixels in a part of what the screen shows of a window (the window system's own copy on
// a real display, not a fresh drawing).
int DarkPixelsOnScreen(QWidget& window, const QRect& part) {
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage().copy(part);
    int dark = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixelColor(x, y).lightness() < 100) ++dark;
    return dark;
}

TEST_F(MainWindowTest, TheNoteStaysInItsColumnWhenTheWindowIsResized) {
    Store({{Body(0, 1), {WaterTest(Day(2024, 6, 1, 9, 30), "WWWW MMMM")}}});
    CountingZELP window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTreeWidget* tests = Tests(window);
    const auto noteOnScreen = [&] {
        QRect note = tests->visualItemRect(tests->topLevelItem(0));
        note.setLeft(tests->columnWidth(0) + tests->columnWidth(1) + 4);
        note.setWidth(60);
        return DarkPixelsOnScreen(window,
                                  QRect(tests->viewport()->mapTo(&window, note.topLeft()), note.size()));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return noteOnScreen() > 0; }));
    for (const QSize size : {QSize(760, 560), QSize(620, 480), QSize(596, 469)}) {
        window.resize(size);
        // The list repaints a resized column a moment after the resize itself: give the
        // repaints time, then look.
        QTest::qWait(100);
        EXPECT_GT(noteOnScreen(), 0) << size.width();
        EXPECT_EQ(tests->columnWidth(0), 88);
        EXPECT_EQ(tests->columnWidth(1), 88);
    }
}

// A label's caption as it should look: `text` over the label's background, in its font and
// colour, aligned in its room; the size and format of what the label draws.
QImage CaptionDrawing(QLabel* caption, const QString& text, Qt::Alignment alignment) {
    const QImage shown = caption->grab().toImage();
    QImage expected(shown.size(), shown.format());
    expected.fill(caption->palette().color(QPalette::Window));
    QPainter painter(&expected);
    painter.setFont(caption->font());
    painter.setPen(caption->palette().color(QPalette::WindowText));
    painter.drawText(caption->contentsRect(), alignment, text);
    return expected;
}

TEST_F(MainWindowTest, TheSelectedTestCaptionShowsFromItsFirstLetter) {
    const std::string longNote(62, 'n');
    Store({{Body(0, 1),
            {WaterTest(Day(2026, 12, 9, 9, 30), "Second test"), WaterTest(Day(2026, 12, 8), longNote)}}});
    CountingZELP window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* caption = Find<QLabel>(window, "lSel");
    // The caption as a user reads it, from the first letter at the label's left edge.
    const auto startsAtItsFirstLetter = [&] {
        const QString start = QStringLiteral("Selected test:");
        const QImage shown = caption->grab().toImage();
        const QImage expected = CaptionDrawing(caption, caption->text(), Qt::AlignLeft | Qt::AlignVCenter);
        const int width = caption->fontMetrics().horizontalAdvance(start);
        return shown.copy(0, 0, width, shown.height()) == expected.copy(0, 0, width, shown.height());
    };
    const auto endsAtTheRightEdge = [&] {
        const QImage shown = caption->grab().toImage();
        for (int y = 0; y < shown.height(); ++y)
            if (shown.pixelColor(shown.width() - 2, y).lightness() < 100) return true;
        return false;
    };
    // A short caption keeps to the right edge; a long one is cut at its end, not its start.
    EXPECT_TRUE(endsAtTheRightEdge());
    EXPECT_FALSE(startsAtItsFirstLetter());
    Tests(window)->setCurrentItem(Tests(window)->topLevelItem(1));
    ASSERT_TRUE(caption->text().endsWith(QString::fromStdString(longNote)));
    EXPECT_TRUE(startsAtItsFirstLetter());
    window.resize(1200, 469);
    QApplication::processEvents();
    EXPECT_TRUE(endsAtTheRightEdge());
    // A wider window gives the caption the room to show whole.
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()), caption->contentsRect().width());
    EXPECT_GT(caption->x(), Find<QLabel>(window, "lHeadTests")->geometry().right());
}

// At the design size a caption too long for its label ends in "…" after the last whole letter
// that fits, inside the window, and its hint after "Edit water test" holds it whole; a short one
// shows whole at the right edge. Long and short notes, in English and in German.
TEST_F(MainWindowTest, ASelectedTestCaptionTooLongForItsLabelEndsInAnEllipsisOnAWholeLetter) {
    const std::string longNote = "First test: long note on the water, cloudy after a day of rain";
    ASSERT_EQ(longNote.size(), 62u);
    Store({{Body(0, 1),
            {WaterTest(Day(2026, 12, 9, 9, 30), "Second test (edited)"),
             WaterTest(Day(2026, 12, 8, 18, 5), longNote),
             WaterTest(Day(2026, 12, 7, 8, 0), "Erster Test, Wasser tr\xFC"
                                               "b"),
             WaterTest(Day(2026, 12, 6, 8, 0), "ok")}}});
    struct Line {
        int row;
        bool cut; // too long at the design size in both languages
    };
    const Line lines[] = {{0, true}, {1, true}, {2, true}, {3, false}};
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        CountingZELP window;
        window.resize(596, 469);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* caption = Find<TClickLabel>(window, "lSel");
        for (const Line& line : lines) {
            Tests(window)->setCurrentItem(Tests(window)->topLevelItem(line.row));
            QApplication::processEvents();
            const QString whole = caption->text();
            SCOPED_TRACE(locale.name().toStdString() + ": " + whole.toStdString());
            ASSERT_TRUE(whole.startsWith(QStringLiteral("Selected test:    ")));
            const QFontMetrics metrics(caption->font());
            const int room = caption->contentsRect().width();
            const bool cut = metrics.horizontalAdvance(whole) > room;
            EXPECT_EQ(cut, line.cut);
            const QImage shown = caption->grab().toImage();
            if (!cut) {
                EXPECT_EQ(shown, CaptionDrawing(caption, whole, Qt::AlignRight | Qt::AlignVCenter));
            } else {
                // The caption's start, whole letters up to one or two short of the most that fit,
                // then "…", from the label's left edge.
                qsizetype fitting = whole.size();
                const auto withEllipsis = [&](qsizetype letters) {
                    return whole.left(letters) + QChar(0x2026);
                };
                while (fitting > 0 && metrics.horizontalAdvance(withEllipsis(fitting)) > room)
                    --fitting;
                qsizetype letters = fitting;
                while (letters > fitting - 3 && shown != CaptionDrawing(caption, withEllipsis(letters),
                                                                        Qt::AlignLeft | Qt::AlignVCenter))
                    --letters;
                EXPECT_GT(letters, fitting - 3) << "no start of whole letters and \"…\" drawn";
            }
            const QRect ink = test::InkBox(shown, shown.rect());
            ASSERT_FALSE(ink.isEmpty());
            EXPECT_LT(caption->mapTo(&window, ink.topRight()).x(), window.width());

            const QPoint middle = caption->rect().center();
            QHelpEvent hint(QEvent::ToolTip, middle, caption->mapToGlobal(middle));
            QApplication::sendEvent(caption, &hint);
            EXPECT_EQ(QToolTip::text(),
                      cut ? QStringLiteral("Edit water test\n") + whole : QStringLiteral("Edit water test"));
            QToolTip::hideText();
            if (line.row == 1) test::SaveScreenshot(window, "main-window-long-note-" + locale.name());
        }
    }
}

TEST_F(MainWindowTest, ASavedSizeBeyondTheDesktopIsHeldToItAndTheBackgroundStillStretches) {
    Store({{Body(0, 1), {}}});
    ASSERT_TRUE(SaveFormPosition(TFormBounds{10, 10, 20000, 20000}));
    // A picture of four colours, one per quarter, to see where its corners land.
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixelColor(0, 0, Qt::red);
    picture.setPixelColor(1, 0, Qt::green);
    picture.setPixelColor(0, 1, Qt::blue);
    picture.setPixelColor(1, 1, Qt::yellow);
    ASSERT_TRUE(picture.save(QString::fromStdString(root + "/bg.bmp"), "BMP"));
    CountingZELP window;
    const QRect desktop = QGuiApplication::primaryScreen()->availableVirtualGeometry();
    EXPECT_LE(window.width(), desktop.width());
    EXPECT_LE(window.height(), desktop.height());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* background = Find<QLabel>(window, "Image1");
    const QImage shown = background->grab().toImage();
    const int right = shown.width() - 3, bottom = shown.height() - 3;
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(right, 2), QColor(Qt::green));
    EXPECT_EQ(shown.pixelColor(2, bottom), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(right, bottom), QColor(Qt::yellow));
}

// Pixels of a widget drawn in a clearly red colour.
int RedPixels(QWidget* control) {
    const QImage image = control->grab().toImage();
    return test::PixelsWhere(image, image.rect(), test::IsClearlyRed);
}

TEST_F(MainWindowTest, TheRedButtonsAndTheHeadingsUseTheWindowsFontAndLookDisabled) {
    {
        CountingZELP window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QFontInfo windowFont(window.font());
        for (const char* name : {"bNew", "bNewTest", "lHeadBody", "lHeadCharts", "lHeadTests"}) {
            const QFontInfo font = Find<QWidget>(window, name)->fontInfo();
            EXPECT_EQ(font.family(), windowFont.family()) << name;
            EXPECT_EQ(font.pixelSize(), 11) << name;
            EXPECT_TRUE(font.bold()) << name;
        }
        // An empty data file: "New test" is disabled and must look it; "New" stays red.
        auto* newTest = Find<QPushButton>(window, "bNewTest");
        ASSERT_FALSE(newTest->isEnabled());
        EXPECT_EQ(RedPixels(newTest), 0);
        EXPECT_GT(RedPixels(Find<QPushButton>(window, "bNew")), 0);
    }
    Store({{Body(0, 1), {}}});
    CountingZELP window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* newTest = Find<QPushButton>(window, "bNewTest");
    ASSERT_TRUE(newTest->isEnabled());
    EXPECT_GT(RedPixels(newTest), 0);
}

} // namespace
