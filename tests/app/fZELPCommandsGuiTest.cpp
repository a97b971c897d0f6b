#include "ProgramSandbox.h"
#include "app/BrinovaAPI.h"
#include "app/BrinovaDB.h"
#include "app/IndexRebuild.h"
#include "app/MainWindowRules.h"
#include "app/TestEdit.h"
#include "app/fAbout.h"
#include "app/fOwner.h"
#include "app/fZELP.h"
#include "platform/DateTimeText.h"
#include "storage/Storage.h"
#include "support/FileText.h"
#include "support/RecordingMessageBoxes.h"
#include "support/RecordingShell.h"
#include "support/Screenshots.h"
#include "support/WhileModal.h"
#include "widgets/CurrEdit.h"
#include "widgets/DateEdit.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sys/stat.h>

// The main window's commands on a real data file, with the message boxes and the shell recorded.
namespace fs = std::filesystem;
using platform::MessageAnswer;

namespace {

TStoredRecord Body(std::uint8_t kind, long double volume) {
    TStoredRecord stored;
    stored.body.kind = kind;
    stored.body.volume = volume;
    return stored;
}

// Tests on consecutive days, the first the oldest; each note is its day number.
std::vector<TStoredRecord> Tests(int count) {
    std::vector<TStoredRecord> tests;
    for (int day = 1; day <= count; ++day) {
        TStoredRecord stored;
        stored.test.date = *platform::EncodeDayCount(2024, 5, day, 0, 0);
        stored.test.time = 0.5;
        stored.test.testNote = std::to_string(day);
        stored.test.pH = 7.9L;
        stored.test.alkalinity = 60;
        tests.push_back(stored);
    }
    return tests;
}

using test::WhileModal;

// A fixed "now": 1 June 2024, 10:15.
class FixedClock final : public platform::Clock {
public:
    FixedClock() : previous_(platform::SetClock(this)) {}
    ~FixedClock() override { platform::SetClock(previous_); }
    double Now() const override { return *platform::EncodeDayCount(2024, 6, 1, 10, 15); }

private:
    const platform::Clock* previous_;
};

template <typename T> T* In(QWidget& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void TypeReading(QWidget& form, const char* edit, const char* text) {
    auto* field = In<widgets::TZlCalcEdit>(form, edit);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
}

// What the entry form showed when a command opened it.
struct EntrySeen {
    bool opened = false;
    QString caption;
    bool testPart = false;
};

class MainCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartBrinovaDB()); }
    static void TearDownTestSuite() { StopBrinovaDB(); }

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // A fresh sandbox each time: a table of cases starts each case over.
        sandbox.emplace();
        program = sandbox->ProgramFolder();
        runtime = sandbox->RuntimeFolder();
        iniPath = sandbox->ConfigFile();
        SetProgramFolder(program + "/");
        SetConfigurationFile(iniPath);
        ASSERT_TRUE(EnsureDataFolder());
    }
    void TearDown() override {
        window.reset();
        SetProgramFolder("");
        SetConfigurationFile("zelplus.ini");
        sandbox.reset();
    }

    // Stores the bodies with their tests and opens the window over them.
    void Open(const std::vector<std::pair<TStoredRecord, std::vector<TStoredRecord>>>& bodies) {
        OpenRec(DataFilePath());
        for (auto [body, tests] : bodies) {
            const std::int32_t n = AddBody(body);
            for (TStoredRecord test : tests)
                AddTestRecord(test, n);
        }
        CloseRec();
        window = std::make_unique<TZELP>();
        ASSERT_TRUE(sandbox->boxes.shown.empty());
    }

    template <typename T> T* Find(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void Trigger(const char* item) const { Find<QAction>(item)->trigger(); }
    void Click(const char* button) const { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    QTreeWidget* TestLines() const { return Find<QTreeWidget>("lTests"); }
    QListWidget* BodyLines() const { return Find<QListWidget>("BV"); }
    int SelectedLine() const {
        const QList<QTreeWidgetItem*> selected = TestLines()->selectedItems();
        return selected.isEmpty() ? -1 : TestLines()->indexOfTopLevelItem(selected.first());
    }
    QString SelectedNote() const {
        const QList<QTreeWidgetItem*> selected = TestLines()->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text(2);
    }
    // The enabled state of the body commands and of the test commands, each all alike.
    void ExpectStates(bool body, bool test) const {
        for (const char* name : {"bEdit", "bNewTest", "SpeedButton2"})
            EXPECT_EQ(Find<QWidget>(name)->isEnabled(), body) << name;
        for (const char* name : {"EditBodyofWater1", "EditbodyofWater2", "DeleteBodyofWater1",
                                 "DeleteBodyofWater2", "Newwatertest1"})
            EXPECT_EQ(Find<QAction>(name)->isEnabled(), body) << name;
        for (const char* name : {"bShow", "bEditTest", "bDelTest"})
            EXPECT_EQ(Find<QWidget>(name)->isEnabled(), test) << name;
        for (const char* name : {"Editwatertest1", "Deletewatertest1", "Showwatertestresults1"})
            EXPECT_EQ(Find<QAction>(name)->isEnabled(), test) << name;
    }
    static std::int32_t LiveTestsOf(std::int32_t body) {
        TRecList tests;
        ListTests(body, tests);
        return static_cast<std::int32_t>(tests.size());
    }

    // Runs the command; its entry form is filled by `fill`, then saved or cancelled.
    EntrySeen Entry(const std::function<void()>& command, const std::function<void(QWidget&)>& fill,
                    bool save) {
        EntrySeen seen;
        seen.opened = WhileModal(command, [&](QWidget& form) {
            seen.caption = form.windowTitle();
            seen.testPart = In<QWidget>(form, "PageControl")->isVisible();
            fill(form);
            QTest::mouseClick(In<QPushButton>(form, save ? "bSave" : "bCancel"), Qt::LeftButton);
        });
        return seen;
    }
    static TStoredRecord Stored(std::int32_t record) {
        TStoredRecord stored;
        EXPECT_TRUE(GetRec(record, stored)) << record;
        return stored;
    }

    std::optional<test::ProgramSandbox> sandbox;
    std::string program;
    std::string runtime;
    std::string iniPath;
    RecordingShell shell;
    FixedClock clock;
    std::unique_ptr<TZELP> window;
};

TEST_F(MainCommandsTest, DeletingATestAsksFirstAndOnlyYesDeletes) {
    Open({{Body(0, 40000), Tests(3)}});
    window->show();
    sandbox->boxes.SetNextAnswer(MessageAnswer::No);
    Click("bDelTest");
    ASSERT_EQ(sandbox->boxes.shown.size(), 1u);
    EXPECT_EQ(sandbox->boxes.shown[0].owner, window.get());
    EXPECT_EQ(sandbox->boxes.shown[0].caption, "Delete Water Test");
    EXPECT_EQ(sandbox->boxes.shown[0].text, "Delete water test. Are you sure?");
    EXPECT_EQ(sandbox->boxes.shown[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(sandbox->boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(LiveTestsOf(1), 3);
    EXPECT_EQ(SelectedNote(), "3");
    EXPECT_EQ(window->focusWidget(), TestLines());

    sandbox->boxes.SetNextAnswer(MessageAnswer::Yes);
    Trigger("Deletewatertest1");
    EXPECT_EQ(sandbox->boxes.shown.size(), 2u);
    EXPECT_EQ(LiveTestsOf(1), 2);
    EXPECT_EQ(TestLines()->topLevelItemCount(), 2);
    EXPECT_EQ(window->PanelText(1), "Tests: 2");
    EXPECT_EQ(window->focusWidget(), TestLines());
    ExpectStates(true, true);
}

TEST_F(MainCommandsTest, ADeletedTestLeavesItsLineSelectedOrTheLastLineOrNone) {
    struct Case {
        const char* name;
        int tests;
        int deletedLine;
        int selectedAfter;
        const char* selectedNote; // the tests' notes are their days, newest first
    };
    const Case cases[] = {
        {"the middle of three", 3, 1, 1, "1"},
        {"the first of three", 3, 0, 0, "2"},
        {"the last of three", 3, 2, 1, "2"},
        {"the only one", 1, 0, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        sandbox->boxes.shown.clear();
        Open({{Body(1, 900), Tests(c.tests)}});
        TestLines()->setCurrentItem(TestLines()->topLevelItem(c.deletedLine));
        const std::int32_t deleted = window->SelectedTestNr();
        Find<QAction>("Deletetest1")->trigger();
        EXPECT_EQ(sandbox->boxes.shown.size(), 1u);
        EXPECT_EQ(TestLines()->topLevelItemCount(), c.tests - 1);
        EXPECT_EQ(SelectedLine(), c.selectedAfter);
        EXPECT_EQ(SelectedNote(), c.selectedNote);
        EXPECT_NE(window->SelectedTestNr(), deleted);
        ExpectStates(true, c.selectedAfter >= 0);
        // The caption names the selected line, never the deleted test.
        const QTreeWidgetItem* selected =
            c.selectedAfter >= 0 ? TestLines()->topLevelItem(c.selectedAfter) : nullptr;
        EXPECT_EQ(Find<QLabel>("lSel")->text(),
                  selected ? SelectedTestCaption(selected->text(0), selected->text(1), selected->text(2))
                           : QStringLiteral("Selected test:"));
    }
}

TEST_F(MainCommandsTest, DeletingABodyWarnsFirstThenDeletesItsTestsAndSelectsTheFirstBody) {
    Open({{Body(0, 100), Tests(1)}, {Body(2, 200), Tests(3)}, {Body(3, 300), {}}});
    window->show();
    BodyLines()->setCurrentRow(1);
    const std::int32_t body = window->SelectedBodyNr();
    ASSERT_EQ(LiveTestsOf(body), 3);

    sandbox->boxes.SetNextAnswer(MessageAnswer::No);
    Trigger("DeleteBodyofWater1");
    ASSERT_EQ(sandbox->boxes.shown.size(), 1u);
    EXPECT_EQ(sandbox->boxes.shown[0].caption, "Delete Body of Water");
    EXPECT_EQ(sandbox->boxes.shown[0].text, "Delete Body of Water and all it's Tests. Are you sure?");
    EXPECT_EQ(sandbox->boxes.shown[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(sandbox->boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(BodyLines()->count(), 3);
    EXPECT_EQ(window->SelectedBodyNr(), body);
    EXPECT_EQ(window->focusWidget(), BodyLines());

    Trigger("DeleteBodyofWater2");
    EXPECT_EQ(sandbox->boxes.shown.size(), 2u);
    EXPECT_EQ(BodyLines()->count(), 2);
    EXPECT_EQ(window->PanelText(0), "Bodies: 2");
    EXPECT_EQ(BodyLines()->currentRow(), 0);
    EXPECT_EQ(window->SelectedBodyNr(), 1);
    EXPECT_EQ(LiveTestsOf(body), 0);
    // One body with one test and one without are left: 3 live records.
    EXPECT_EQ(LiveRecordCount(), 3);
    ExpectStates(true, true);

    // The last bodies go; nothing is left to select.
    Trigger("DeleteBodyofWater1");
    Trigger("DeleteBodyofWater1");
    EXPECT_EQ(BodyLines()->count(), 0);
    EXPECT_EQ(LiveRecordCount(), 0);
    EXPECT_EQ(window->PanelText(1), "Tests: 0");
    ExpectStates(false, false);
    EXPECT_EQ(sandbox->boxes.shown.size(), 4u);
}

TEST_F(MainCommandsTest, ShowResultsWritesThePageAndOpensItInTheBrowserOrTheViewer) {
    ASSERT_TRUE(WriteOwnerText("Pool Owner\r\n"));
    Open({{Body(0, 45000), Tests(2)}});
    const fs::path page = runtime + "/zelreslt.htm";

    Click("bShow");
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(page.string())));
    const std::string html = FileText(page);
    EXPECT_NE(html.find("volume: " + VolumeText(Body(0, 45000).body)), std::string::npos);
    EXPECT_NE(html.find("Pool Owner"), std::string::npos);
    EXPECT_TRUE(sandbox->boxes.shown.empty());

    // The internal viewer: F2 shows the page there and returns when it closes.
    ASSERT_TRUE(WriteUseViewer(true));
    fs::remove(page);
    window->show();
    QString shownTitle;
    EXPECT_TRUE(WhileModal([&] { Trigger("Showwatertestresults1"); },
                           [&](QWidget& viewer) { shownTitle = viewer.windowTitle(); }));
    EXPECT_TRUE(fs::exists(page));
    EXPECT_EQ(shell.opened.size(), 1u);
}

TEST_F(MainCommandsTest, WhenTheEngineCannotWriteThePageOnlyItsOwnBoxIsShown) {
    Open({{Body(0, 45000), Tests(1)}});
    // A folder where the page should go: the engine cannot save it.
    fs::create_directory(runtime + "/zelreslt.htm");
    QString engineBox;
    EXPECT_TRUE(
        WhileModal([&] { Trigger("Showresults1"); }, [&](QWidget& box) { engineBox = box.windowTitle(); }));
    EXPECT_EQ(engineBox, "Error");
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_TRUE(sandbox->boxes.shown.empty());
}

TEST_F(MainCommandsTest, HelpWebPageParametersAboutAndExit) {
    Open({{Body(0, 100), {}}});
    Trigger("Index1");
    Trigger("BrinovaVeskoninternet1");
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(program + "/help/index.htm")));
    EXPECT_EQ(shell.opened[1].toString(QUrl::FullyEncoded), QString::fromLatin1(kHomePageAddress));

    window->show();
    QString version;
    EXPECT_TRUE(WhileModal([&] { Trigger("AboutBrinovaVesk1"); },
                           [&](QWidget& about) {
                               EXPECT_NE(qobject_cast<TAbout*>(&about), nullptr);
                               version = about.findChild<QLabel*>("LabelVer")->text();
                           }));
    EXPECT_EQ(version, "version 8.82");
    bool parameters = false;
    EXPECT_TRUE(WhileModal([&] { Trigger("Setparameters1"); },
                           [&](QWidget& form) { parameters = qobject_cast<TfmOwner*>(&form) != nullptr; }));
    EXPECT_TRUE(parameters);

    // The maintenance items do nothing and stay disabled.
    for (const char* item : {"Repairdata1", "Backupdata1", "Restoredta1"}) {
        EXPECT_FALSE(Find<QAction>(item)->isEnabled()) << item;
        Find<QAction>(item)->trigger();
    }
    EXPECT_EQ(shell.opened.size(), 2u);

    // Exit closes the window, which closes the data file and keeps the position.
    Trigger("Exit1");
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(RecordFileblock(), nullptr);
    EXPECT_NE(FileText(iniPath).find("[POSITION]"), std::string::npos);
    EXPECT_TRUE(sandbox->boxes.shown.empty());
}

TEST_F(MainCommandsTest, ANewBodyIsStoredAndSelectedOnlyWhenTheFormSaves) {
    Open({{Body(0, 100), {}}});
    window->show();
    const auto volume = [](QWidget& form) { TypeReading(form, "eVolume", "30000"); };
    EntrySeen seen =
        Entry([&] { QTest::mouseClick(Find<QWidget>("SpeedButton3"), Qt::LeftButton); }, volume, false);
    EXPECT_TRUE(seen.opened);
    EXPECT_EQ(seen.caption, "Enter new Body of Water");
    EXPECT_FALSE(seen.testPart);
    EXPECT_EQ(LiveRecordCount(), 1);
    EXPECT_EQ(BodyLines()->count(), 1);

    seen = Entry([&] { Trigger("NewbodyofWater1"); }, volume, true);
    EXPECT_TRUE(seen.opened);
    ASSERT_EQ(BodyLines()->count(), 2);
    EXPECT_EQ(BodyLines()->currentRow(), 1);
    EXPECT_TRUE(BodyLines()->item(1)->isSelected());
    const std::int32_t body = window->SelectedBodyNr();
    EXPECT_EQ(Stored(body).body.volume, 30000);
    EXPECT_EQ(Find<QLabel>("lVolume")->text(), "30000.00 Liter");
    EXPECT_EQ(window->PanelText(1), "Tests: 0");
    ExpectStates(true, false);
    EXPECT_TRUE(sandbox->boxes.shown.empty());
}

TEST_F(MainCommandsTest, ANewBodyWithItsFirstTestSelectsBoth) {
    // Over an empty file the first activation would offer a new body of its own.
    Open({{Body(3, 10), {}}});
    window->show();
    const EntrySeen seen = Entry([&] { Click("bNew"); },
                                 [](QWidget& form) {
                                     TypeReading(form, "eVolume", "45000");
                                     TypeReading(form, "ePH", "7.8");
                                 },
                                 true);
    EXPECT_EQ(seen.caption, "Enter new Body of Water + First test");
    EXPECT_TRUE(seen.testPart);
    ASSERT_EQ(BodyLines()->count(), 2);
    EXPECT_TRUE(BodyLines()->item(1)->isSelected());
    ASSERT_EQ(TestLines()->topLevelItemCount(), 1);
    EXPECT_EQ(SelectedLine(), 0);
    const TStoredRecord test = Stored(window->SelectedTestNr());
    EXPECT_EQ(test.kind, rkTest);
    EXPECT_EQ(test.parent, window->SelectedBodyNr());
    EXPECT_NEAR(static_cast<double>(test.test.pH), 7.8, 1e-9);
    // Taken "now": the date alone and the time of day alone once the form stored them.
    EXPECT_EQ(test.test.date, *platform::EncodeDayCount(2024, 6, 1, 0, 0));
    EXPECT_NEAR(test.test.time, (10 * 60 + 15) / 1440.0, 1e-6);
    ExpectStates(true, true);
}

TEST_F(MainCommandsTest, ANewTestStandsAtTheTopSelectedAndCancelStoresNothing) {
    Open({{Body(0, 100), Tests(3)}});
    window->show();
    EntrySeen seen = Entry([&] { Trigger("Newwatertest1"); }, [](QWidget&) {}, false);
    EXPECT_TRUE(seen.opened);
    EXPECT_EQ(LiveRecordCount(), 4);
    TestLines()->setCurrentItem(TestLines()->topLevelItem(2));

    seen = Entry([&] { Click("bNewTest"); },
                 [](QWidget& form) {
                     In<QPlainTextEdit>(form, "eTestNote")->setPlainText("new");
                     TypeReading(form, "ePH", "7.4");
                 },
                 true);
    EXPECT_EQ(seen.caption, "Enter new TEST");
    EXPECT_TRUE(seen.testPart);
    EXPECT_EQ(LiveRecordCount(), 5);
    ASSERT_EQ(TestLines()->topLevelItemCount(), 4);
    EXPECT_EQ(SelectedLine(), 0);
    EXPECT_EQ(SelectedNote(), "new");
    EXPECT_EQ(window->focusWidget(), TestLines());
    ExpectStates(true, true);
}

TEST_F(MainCommandsTest, AnEditedTestKeepsItsLineEvenWhenItMoves) {
    Open({{Body(0, 100), Tests(5)}});
    window->show();
    TestLines()->setCurrentItem(TestLines()->topLevelItem(2));
    ASSERT_EQ(SelectedNote(), "3");
    const std::int32_t edited = window->SelectedTestNr();

    const EntrySeen seen = Entry(
        [&] { Click("bEditTest"); },
        [](QWidget& form) {
            // Now the newest of the five.
            In<widgets::TDateEdit>(form, "eDate")->SetDateValue(*platform::EncodeDayCount(2024, 5, 30, 0, 0));
            In<QPlainTextEdit>(form, "eTestNote")->setPlainText("moved");
        },
        true);
    EXPECT_EQ(seen.caption, "Edit TEST");
    EXPECT_EQ(LiveRecordCount(), 6);
    EXPECT_EQ(TestLines()->topLevelItem(0)->text(2), "moved");
    EXPECT_EQ(SelectedLine(), 2);
    EXPECT_EQ(SelectedNote(), "4"); // moved, 5, 4, 2, 1
    EXPECT_EQ(Stored(edited).test.testNote, "moved");
    ExpectStates(true, true);

    // Cancelled: the test and the line are as they were.
    Entry([&] { QTest::keyClick(TestLines(), Qt::Key_Return); },
          [](QWidget& form) { In<QPlainTextEdit>(form, "eTestNote")->setPlainText("lost"); }, false);
    EXPECT_EQ(Stored(edited).test.testNote, "moved");
    EXPECT_EQ(SelectedLine(), 2);
}

TEST_F(MainCommandsTest, AnEditedBodyIsStoredAndShown) {
    Open({{Body(0, 100), Tests(2)}, {Body(2, 200), {}}});
    window->show();
    BodyLines()->setCurrentRow(1);
    const EntrySeen seen =
        Entry([&] { Click("bEdit"); }, [](QWidget& form) { TypeReading(form, "eVolume", "250"); }, true);
    EXPECT_EQ(seen.caption, "Edit body of water");
    EXPECT_FALSE(seen.testPart);
    EXPECT_EQ(Stored(2 + 2).body.volume, 250); // records 1 to 3 are the first body and its tests
    EXPECT_EQ(Find<QLabel>("lVolume")->text(), "250.00 Liter");
    EXPECT_EQ(BodyLines()->currentRow(), 1);
    EXPECT_EQ(window->focusWidget(), BodyLines());
    EXPECT_EQ(LiveRecordCount(), 4);
    ExpectStates(true, false);
}

TEST_F(MainCommandsTest, F1InEachWindowOpensItsHelpPage) {
    Open({{Body(0, 100), Tests(1)}});
    window->show();
    const auto pageOpened = [&] { return shell.opened.empty() ? QString() : shell.opened.back().fileName(); };
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(BodyLines(), Qt::Key_F1);
    EXPECT_EQ(pageOpened(), "recs.htm");

    const struct {
        const char* window;
        std::function<void()> open;
        const char* focused;
        const char* page;
    } windows[] = {
        {"entry form, test part", [&] { Click("bEditTest"); }, "ePH", "inputfields.htm"},
        {"entry form, body alone", [&] { Click("bEdit"); }, "eVolume", "inputfields.htm"},
        {"Parameters", [&] { Trigger("Setparameters1"); }, "eName", "setup.htm"},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.window);
        shell.opened.clear();
        EXPECT_TRUE(WhileModal(w.open, [&](QWidget& form) {
            QWidget* field = In<QWidget>(form, w.focused);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_F1);
        }));
        ASSERT_EQ(shell.opened.size(), 1u);
        EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(QString::fromStdString(program + "/help/" + w.page)));
    }
    EXPECT_EQ(LiveRecordCount(), 2);
}

// ---- With no data file open ---------------------------------------------------------------------

// The ways the window comes to run without its data file: No to the rebuild of a damaged index,
// and a second copy of the program beside one that has the files.
struct NoDataFileStart {
    const char* name;
    std::vector<MessageAnswer> answers;
    std::function<std::vector<std::string>()> texts; // the boxes before the window opens
};

std::vector<NoDataFileStart> NoDataFileStarts() {
    return {
        {"No to the rebuild",
         {MessageAnswer::Ok, MessageAnswer::No},
         [] {
             return std::vector<std::string>{DataErrorText(fberr::kFileDefect, "OpenRec"),
                                             RebuildQuestionText(), RebuildDeclinedText()};
         }},
        {"a second copy of the program",
         {},
         [] {
             return std::vector<std::string>{DataErrorText(fberr::kAccessNotPossible, "OpenRec"),
                                             HeldByAnotherProgramText(DataFilePath())};
         }},
    };
}

class NoDataFileTest : public MainCommandsTest {
protected:
    // Stores a body with two tests, then leaves the files as the start's case needs them.
    void Prepare(const NoDataFileStart& start) {
        OpenRec(DataFilePath());
        TStoredRecord body = Body(0, 100);
        const std::int32_t n = AddBody(body);
        for (TStoredRecord test : Tests(2))
            AddTestRecord(test, n);
        CloseRec();
        if (start.answers.empty()) {
            FbOpen(holder, DataFilePath(), false, false, true, false);
            ASSERT_TRUE(FbOk);
        } else {
            fs::remove(fs::path(DataFilePath()).replace_extension(".IX"));
        }
        for (MessageAnswer answer : start.answers)
            sandbox->boxes.SetNextAnswer(answer);
    }
    void TearDown() override {
        window.reset();
        if (holder) FbClose(holder);
        MainCommandsTest::TearDown();
    }
    std::map<std::string, std::vector<char>> DataFolder() const {
        std::map<std::string, std::vector<char>> files;
        for (const auto& entry : fs::directory_iterator(fs::path(DataFilePath()).parent_path())) {
            const std::string text = FileText(entry.path());
            files[entry.path().filename().string()] = {text.begin(), text.end()};
        }
        return files;
    }

    Fileblock* holder = nullptr;
};

TEST_F(NoDataFileTest, TheWindowSaysNoDataFileIsOpenAndEveryStoringCommandShowsABoxInsteadOfItsForm) {
    const struct {
        const char* command;
        std::function<void()> run;
        const char* label;
    } commands[] = {
        {"New body of water", [this] { QTest::mouseClick(Find<QWidget>("SpeedButton3"), Qt::LeftButton); },
         "AddBodyAddTest"},
        {"New body of water from the menu", [this] { Trigger("NewbodyofWater1"); }, "AddBodyAddTest"},
        {"New body with its first test", [this] { Click("bNew"); }, "AddBodyAddTest"},
        {"New test", [this] { window->bNewTestClick(); }, "PutBodyAddTest"},
        {"Edit body: Enter on the list", [this] { QTest::keyClick(BodyLines(), Qt::Key_Return); }, "PutRec"},
        {"Edit test: Enter on the tests", [this] { QTest::keyClick(TestLines(), Qt::Key_Return); },
         "PutBodyPutTest"},
        {"Delete test", [this] { window->DeleteTestClick(); }, "DeleteTest"},
        {"Delete body", [this] { window->DeleteBodyofWater1Click(); }, "DeleteBodyAndTets"},
    };
    for (const NoDataFileStart& start : NoDataFileStarts()) {
        SCOPED_TRACE(start.name);
        TearDown();
        SetUp();
        Prepare(start);
        const auto before = DataFolder();
        window = std::make_unique<TZELP>();
        std::vector<std::string> texts;
        for (const auto& box : sandbox->boxes.shown)
            texts.push_back(box.text.toStdString());
        EXPECT_EQ(texts, start.texts());
        EXPECT_EQ(RecordFileblock(), nullptr);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QLabel* note = Find<QLabel>("lNoDataFile");
        EXPECT_TRUE(note->isVisible());
        EXPECT_EQ(note->text().toStdString(), NoDataFileText());
        EXPECT_EQ(window->PanelText(0), "Bodies: 0");

        for (const auto& c : commands) {
            SCOPED_TRACE(c.command);
            sandbox->boxes.shown.clear();
            EXPECT_FALSE(WhileModal(c.run, [](QWidget&) {}));
            ASSERT_EQ(sandbox->boxes.shown.size(), 1u);
            EXPECT_EQ(sandbox->boxes.shown[0].text.toStdString(),
                      DataErrorText(fberr::kInvalidFileblock, c.label));
            EXPECT_EQ(sandbox->boxes.shown[0].icon, platform::MessageIcon::Error);
        }
        EXPECT_EQ(DataFolder(), before);
    }

    // With its data file, the window has no such note and the commands open their forms.
    TearDown();
    SetUp();
    Open({{Body(0, 100), Tests(1)}});
    window->show();
    EXPECT_FALSE(Find<QLabel>("lNoDataFile")->isVisible());
    EXPECT_TRUE(Entry([&] { Trigger("NewbodyofWater1"); }, [](QWidget&) {}, false).opened);
    EXPECT_TRUE(sandbox->boxes.shown.empty());
}

// The program's own boxes, drawn and answered one after the other, each kept as a picture.
class DrawnBoxes {
public:
    struct Step {
        QString picture; // none: not kept
        QMessageBox::StandardButton answer;
    };
    explicit DrawnBoxes(std::vector<Step> steps)
        : steps_(std::move(steps)), previous_(platform::SetMessages(nullptr)) {
        poll_.setInterval(20);
        QObject::connect(&poll_, &QTimer::timeout, [this] { Answer(); });
        poll_.start();
    }
    ~DrawnBoxes() { platform::SetMessages(previous_); }
    DrawnBoxes(const DrawnBoxes&) = delete;
    DrawnBoxes& operator=(const DrawnBoxes&) = delete;

    QStringList texts;

private:
    void Answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("answered").toBool()) return;
        // Drawn once before it is taken.
        if (!box->property("seen").toBool()) {
            box->setProperty("seen", true);
            return;
        }
        box->setProperty("answered", true);
        texts.append(box->text());
        const Step step = next_ < steps_.size() ? steps_[next_++] : Step{QString(), QMessageBox::Ok};
        if (!step.picture.isEmpty()) {
            EXPECT_TRUE(test::SaveScreenshot(*box, step.picture));
        }
        QAbstractButton* button = box->button(step.answer);
        EXPECT_NE(button, nullptr) << box->text().toStdString();
        if (button) button->click();
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    platform::MessageBoxes* previous_;
    QTimer poll_;
};

TEST_F(NoDataFileTest, PicturesOfTheBoxesAfterDamageAndOfTheWindowWithoutItsDataFile) {
    if (test::ScreenshotFolder().isEmpty()) GTEST_SKIP() << "ZEL_SCREENSHOTS names no folder";
    const auto withPicture = [&] {
        fs::copy_file(QT_TESTCASE_SOURCEDIR "/../../app/bg.bmp", program + "/bg.bmp",
                      fs::copy_options::overwrite_existing);
    };
    const auto startOver = [&] {
        TearDown();
        SetUp();
        withPicture();
    };
    using Button = QMessageBox::StandardButton;
    {
        const NoDataFileStart declined = NoDataFileStarts()[0];
        startOver();
        Prepare(declined);
        DrawnBoxes drawn({{"box-openrec-damaged-index", Button::Ok},
                          {"box-rebuild-question", Button::No},
                          {"box-rebuild-declined", Button::Ok},
                          {"box-new-body-without-data-file", Button::Ok}});
        window = std::make_unique<TZELP>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QTest::qWait(50);
        EXPECT_TRUE(test::SaveScreenshot(*window, "main-window-without-data-file"));
        QTest::mouseClick(Find<QWidget>("SpeedButton3"), Qt::LeftButton);
        QStringList expected;
        for (const std::string& text : declined.texts())
            expected.append(QString::fromStdString(text));
        expected.append(QString::fromStdString(DataErrorText(fberr::kInvalidFileblock, "AddBodyAddTest")));
        EXPECT_EQ(drawn.texts, expected);
    }
    {
        const NoDataFileStart secondCopy = NoDataFileStarts()[1];
        startOver();
        Prepare(secondCopy);
        DrawnBoxes drawn({{"box-openrec-held", Button::Ok}, {"box-records-in-use", Button::Ok}});
        window = std::make_unique<TZELP>();
        EXPECT_EQ(drawn.texts.size(), 2);
    }
    // The rebuild's report: one of each, then several with tests whose body is missing.
    const struct {
        const char* picture;
        int tests;
        bool orphans;
    } reports[] = {{"box-rebuild-report-one-of-each", 2, false}, {"box-rebuild-report-several", 4, true}};
    for (const auto& r : reports) {
        startOver();
        OpenRec(DataFilePath());
        TStoredRecord body = Body(0, 100);
        const std::int32_t n = AddBody(body);
        std::int32_t last = 0;
        for (TStoredRecord test : Tests(r.tests))
            last = AddTestRecord(test, n);
        if (r.orphans)
            for (TStoredRecord test : Tests(2)) {
                AddTestRecord(test, 40);
                AddTestRecord(test, 41);
            }
        DeleteTest(n, last);
        CloseRec();
        fs::remove(fs::path(DataFilePath()).replace_extension(".IX"));
        DrawnBoxes drawn({{"", Button::Ok}, {"", Button::Yes}, {r.picture, Button::Ok}});
        window = std::make_unique<TZELP>();
        ASSERT_EQ(drawn.texts.size(), 3);
        EXPECT_TRUE(drawn.texts[2].startsWith("The index was rebuilt")) << drawn.texts[2].toStdString();
    }
}

} // namespace
