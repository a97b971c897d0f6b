#include "app/fOwner.h"

#include "TempFolder.h"
#include "app/BrinovaAPI.h"
#include "support/FileText.h"
#include "support/RecordingShell.h"
#include "support/Screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kOwnerEdits[] = {"eName", "eAddr", "eAddr2", "eCity", "eState", "eCountry"};

class ParametersFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        iniPath = root + "/zelplus.ini";
        SetConfigurationFile(iniPath);
        SetProgramFolder(root + "/");
    }
    void TearDown() override {
        SetConfigurationFile("zelplus.ini");
        SetProgramFolder("");
    }

    void WriteIni(const std::string& bytes) const { std::ofstream(iniPath, std::ios::binary) << bytes; }
    std::string ReadIni() const { return FileText(iniPath); }

    // The form shown and active, so keys reach the focused control.
    std::unique_ptr<TfmOwner> OpenForm() const {
        auto form = std::make_unique<TfmOwner>();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    template <class T> static T* Find(const QWidget& form, const char* name) {
        T* child = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static QStringList OwnerEditTexts(const QWidget& form) {
        QStringList texts;
        for (const char* name : kOwnerEdits)
            texts << Find<QLineEdit>(form, name)->text();
        return texts;
    }
    // On the box itself: the control is wider than its box and caption.
    static void ClickBox(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    static void ClickOk(const QWidget& form) {
        QTest::mouseClick(Find<QPushButton>(form, "BitBtn1"), Qt::LeftButton);
    }

    // The program folder and configuration of one test, removed with everything in it.
    test::TempFolder scratch;
    const std::string root = scratch.Path();
    std::string iniPath;
};

TEST_F(ParametersFormTest, NothingStoredShowsTheDefaultsAndOkStoresSixEmptyLines) {
    auto form = OpenForm();
    EXPECT_EQ(OwnerEditTexts(*form), QStringList(6, QString()));
    EXPECT_TRUE(Find<QCheckBox>(*form, "eSavePos")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>(*form, "eInternal")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(*form, "eDefault")->isChecked());
    for (const char* name : kOwnerEdits)
        EXPECT_TRUE(Find<QLineEdit>(*form, name)->isEnabled()) << name;

    ClickOk(*form);
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadIni(), "[DATA]\r\nOWNER=~~~~~~~~~~~~\r\n[OTHER]\r\nSAVEPOS=1\r\nVIEWER=0\r\n");
}

TEST_F(ParametersFormTest, StoredOwnerTextIsShownAndStoredBackAsSixLines) {
    struct Case {
        const char* name;
        std::string stored;
        QStringList shown;
        std::string storedBack;
    };
    const std::vector<Case> cases = {
        {"three lines",
         "Ann Smith~~1 Main St~~Flat 2",
         {"Ann Smith", "1 Main St", "Flat 2", "", "", ""},
         "Ann Smith~~1 Main St~~Flat 2~~~~~~~~"},
        {"six lines as saved", "a~~b~~c~~d~~e~~f~~", {"a", "b", "c", "d", "e", "f"}, "a~~b~~c~~d~~e~~f~~"},
        {"eight lines", "1~~2~~3~~4~~5~~6~~7~~8~~", {"1", "2", "3", "4", "5", "6"}, "1~~2~~3~~4~~5~~6~~"},
        {"empty lines between", "~~~~x", {"", "", "x", "", "", ""}, "~~~~x~~~~~~~~"},
        {"code page bytes",
         "M\xFCller~~Stra\xDF"
         "e 5",
         {"M\u00FCller", "Stra\u00DFe 5", "", "", "", ""},
         "M\xFCller~~Stra\xDF"
         "e 5~~~~~~~~~~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteIni("[DATA]\r\nOWNER=" + c.stored + "\r\n");
        auto form = OpenForm();
        EXPECT_EQ(OwnerEditTexts(*form), c.shown);
        ClickOk(*form);
        EXPECT_EQ(ReadIni(), "[DATA]\r\nOWNER=" + c.storedBack + "\r\n[OTHER]\r\nSAVEPOS=1\r\nVIEWER=0\r\n");
    }
}

TEST_F(ParametersFormTest, OkStoresWhatWasTypedAndChosen) {
    WriteIni("; kept\n[OTHER]\nSAVEPOS=1\nVIEWER=0\n[POSITION]\nLEFT=7\n");
    auto form = OpenForm();
    QLineEdit* name = Find<QLineEdit>(*form, "eName");
    QTest::keyClicks(name, "J");
    QTest::sendKeyEvent(QTest::Click, name, Qt::Key_Odiaeresis, QString(QChar(0xF6)), Qt::NoModifier);
    QTest::keyClicks(name, "rg");
    QTest::keyClicks(Find<QLineEdit>(*form, "eCountry"), "NZ");
    ClickBox(Find<QCheckBox>(*form, "eSavePos"));
    ClickBox(Find<QRadioButton>(*form, "eInternal"));
    ClickOk(*form);
    EXPECT_EQ(ReadIni(), "; kept\n[OTHER]\nSAVEPOS=0\nVIEWER=1\n[POSITION]\nLEFT=7\n"
                         "[DATA]\r\nOWNER=J\xF6rg~~~~~~~~~~NZ~~\r\n");
    EXPECT_FALSE(ReadSavePosition());
    EXPECT_TRUE(ReadUseViewer());
}

TEST_F(ParametersFormTest, EveryOtherWayOfClosingStoresNothing) {
    const std::string before = "[DATA]\nOWNER=Ann~~\n[OTHER]\nVIEWER=1\n";
    const std::vector<std::pair<const char*, std::function<void(TfmOwner&)>>> ways = {
        {"Cancel",
         [](TfmOwner& form) { QTest::mouseClick(Find<QPushButton>(form, "BitBtn2"), Qt::LeftButton); }},
        {"Esc", [](TfmOwner& form) { QTest::keyClick(Find<QLineEdit>(form, "eName"), Qt::Key_Escape); }},
        {"close button", [](TfmOwner& form) { form.close(); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        WriteIni(before);
        auto form = OpenForm();
        QTest::keyClicks(Find<QLineEdit>(*form, "eName"), "Bob");
        ClickBox(Find<QRadioButton>(*form, "eDefault"));
        close(*form);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_EQ(ReadIni(), before);
    }
}

TEST_F(ParametersFormTest, EnterMovesOnThroughTheOwnerBlockToTheViewerChoice) {
    auto form = OpenForm();
    const char* const chain[] = {"eName", "eAddr", "eAddr2", "eCity", "eState", "eCountry", "eSavePos"};
    Find<QLineEdit>(*form, "eName")->setFocus();
    for (const char* name : chain) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_EQ(focused->objectName(), QString::fromLatin1(name));
        QTest::keyClick(focused, Qt::Key_Return);
    }
    EXPECT_TRUE(QApplication::focusWidget() == Find<QRadioButton>(*form, "eInternal") ||
                QApplication::focusWidget() == Find<QRadioButton>(*form, "eDefault"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(fs::exists(iniPath));
}

// Enter moves on as Tab does, so the check box and the viewer choice it lands on show their
// focus mark exactly as after Tab.
TEST_F(ParametersFormTest, EnterLeavesTheFocusMarkThatTabLeaves) {
    struct Landing {
        QString name;
        bool marked;
        QImage picture;
    };
    const auto landings = [&](Qt::Key key) {
        auto form = OpenForm();
        Find<QLineEdit>(*form, "eCountry")->setFocus();
        std::vector<Landing> seen;
        for (int step = 0; step < 2; ++step) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QWidget* focused = QApplication::focusWidget();
            QStyleOption option;
            option.initFrom(focused);
            seen.push_back({focused->objectName(),
                            (option.state & QStyle::State_HasFocus) &&
                                (option.state & QStyle::State_KeyboardFocusChange),
                            focused->grab().toImage()});
            if (key == Qt::Key_Return)
                test::SaveScreenshot(*form, "Parameters-Enter-" + focused->objectName());
        }
        return seen;
    };
    const std::vector<Landing> tab = landings(Qt::Key_Tab);
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_EQ(tab[0].name, "eSavePos");
    EXPECT_TRUE(tab[1].name == "eInternal" || tab[1].name == "eDefault");
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        const std::vector<Landing> moved = landings(enter);
        ASSERT_EQ(moved.size(), tab.size());
        for (std::size_t i = 0; i < tab.size(); ++i) {
            SCOPED_TRACE(tab[i].name.toStdString());
            EXPECT_TRUE(tab[i].marked);
            EXPECT_EQ(moved[i].name, tab[i].name);
            EXPECT_TRUE(moved[i].marked) << "no focus mark after Enter";
            EXPECT_TRUE(moved[i].picture == tab[i].picture) << "drawn otherwise than after Tab";
        }
    }
}

TEST_F(ParametersFormTest, EnterOnAFocusedButtonPressesIt) {
    const std::string before = "[DATA]\nOWNER=Ann~~\n";
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(enter == Qt::Key_Return ? "Return" : "keypad Enter");
        {
            WriteIni(before);
            RecordingShell shell;
            auto form = OpenForm();
            auto* help = Find<QPushButton>(*form, "BitBtn3");
            help->setFocus();
            QTest::keyClick(help, enter);
            EXPECT_EQ(shell.opened.size(), 1u);
            EXPECT_TRUE(form->isVisible());

            auto* cancel = Find<QPushButton>(*form, "BitBtn2");
            cancel->setFocus();
            QTest::keyClick(cancel, enter);
            EXPECT_FALSE(form->isVisible());
            EXPECT_EQ(form->result(), QDialog::Rejected);
            EXPECT_EQ(ReadIni(), before);
        }
        auto form = OpenForm();
        auto* ok = Find<QPushButton>(*form, "BitBtn1");
        ok->setFocus();
        QTest::keyClick(ok, enter);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Accepted);
        EXPECT_EQ(ReadOwnerText(), "Ann\r\n\r\n\r\n\r\n\r\n\r\n");
    }
}

TEST_F(ParametersFormTest, TabOrderFollowsTheForm) {
    auto form = OpenForm();
    const QStringList expected = {"eName",    "eAddr",     "eAddr2",   "eCity",   "eState",  "eCountry",
                                  "eSavePos", "eInternal", "eDefault", "BitBtn1", "BitBtn2", "BitBtn3"};
    QStringList order;
    QWidget* widget = Find<QWidget>(*form, "eName");
    do {
        if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget->objectName() != QLatin1String("eName"));
    EXPECT_EQ(order, expected);
}

TEST_F(ParametersFormTest, F1AnywhereAndTheHelpButtonOpenTheSetupPage) {
    const QUrl setupHelp = platform::FileUrl(HelpTopicTarget(4, ProgramFolder())->helpFile);
    const std::vector<std::pair<const char*, std::function<void(TfmOwner&)>>> asks = {
        {"F1 in an edit",
         [](TfmOwner& form) { QTest::keyClick(Find<QLineEdit>(form, "eCity"), Qt::Key_F1); }},
        {"F1 on the check box",
         [](TfmOwner& form) { QTest::keyClick(Find<QCheckBox>(form, "eSavePos"), Qt::Key_F1); }},
        {"F1 on OK", [](TfmOwner& form) { QTest::keyClick(Find<QPushButton>(form, "BitBtn1"), Qt::Key_F1); }},
        {"Help button",
         [](TfmOwner& form) { QTest::mouseClick(Find<QPushButton>(form, "BitBtn3"), Qt::LeftButton); }},
    };
    for (const auto& [name, ask] : asks) {
        SCOPED_TRACE(name);
        RecordingShell shell;
        auto form = OpenForm();
        ask(*form);
        EXPECT_EQ(shell.opened, std::vector<QUrl>{setupHelp});
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_FALSE(fs::exists(iniPath));
}

TEST_F(ParametersFormTest, ShowParametersIsModalAndFreesTheForm) {
    QPointer<QWidget> shown;
    QTimer::singleShot(0, [&shown] {
        shown = QApplication::activeModalWidget();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->windowTitle(), "Parameters");
        QTest::mouseClick(Find<QPushButton>(*shown, "BitBtn1"), Qt::LeftButton);
    });
    ShowParameters();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
    EXPECT_EQ(ReadOwnerText(), "\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(ParametersFormTest, LooksLikeTheDesign) {
    auto form = OpenForm();
    EXPECT_EQ(form->size(), QSize(424, 333));
    const QPixmap picture = form->grab();
    ASSERT_FALSE(picture.isNull());
    test::SaveScreenshot(*form, "fOwner");
}

TEST(OwnerText, LinesAreSplitAndStoredAsSix) {
    EXPECT_EQ(OwnerLines("a\r\nb\rc\nd\r\n"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(OwnerLines(""), QStringList());
    EXPECT_EQ(OwnerLines("\r\n"), QStringList{""});
    EXPECT_EQ(OwnerText({"a"}), "a\r\n\r\n\r\n\r\n\r\n\r\n");
    // A pasted break cannot shift the lines that follow.
    EXPECT_EQ(OwnerText({"a\r\nb", "c\n"}), "a  b\r\nc \r\n\r\n\r\n\r\n\r\n");
}

} // namespace
