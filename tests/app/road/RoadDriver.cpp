// Preloaded into the real program by the whole-road test: once the application object exists it
// drives the program through its own controls with QTest, one step after the other, writes each
// step it took to $ZELPLUS_ROAD_LOG and saves screenshots into $ZELPLUS_ROAD_SHOTS.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <functional>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto kStepPatience = 20s;

struct Step {
    const char* name;
    std::function<bool()> ready; // the program stands where the step can be taken
    std::function<void()> act;
};

QWidget* MainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("TZELP") && window->isVisible()) return window;
    return nullptr;
}

QWidget* Modal(const char* className, const QString& title = QString()) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->inherits(className) || !modal->isVisible()) return nullptr;
    return title.isEmpty() || modal->windowTitle() == title ? modal : nullptr;
}

QMessageBox* Box(const QString& text) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box && box->isVisible() && box->text() == text ? box : nullptr;
}

template <typename T = QWidget> T* Child(QWidget* parent, const char* name) {
    return parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

int BodyCount() {
    auto* bodies = Child<QListWidget>(MainWindow(), "BV");
    return bodies ? bodies->count() : -1;
}

int TestCount() {
    auto* tests = Child<QTreeWidget>(MainWindow(), "lTests");
    return tests ? tests->topLevelItemCount() : -1;
}

bool MainWindowIdle() {
    return MainWindow() && !QApplication::activeModalWidget();
}

void Type(QWidget* form, const char* field, const QString& text) {
    QWidget* edit = Child(form, field);
    if (!edit) return;
    edit->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(edit)) line->selectAll();
    QTest::keyClicks(edit, text);
}

void Click(QWidget* parent, const char* name) {
    if (QWidget* control = Child(parent, name)) QTest::mouseClick(control, Qt::LeftButton);
}

void AnswerYes() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
}

void Trigger(const char* item) {
    if (auto* action = Child<QAction>(MainWindow(), item)) action->trigger();
}

class Road : public QObject {
public:
    Road()
        : log_(QString::fromLocal8Bit(qgetenv("ZELPLUS_ROAD_LOG"))),
          shots_(QString::fromLocal8Bit(qgetenv("ZELPLUS_ROAD_SHOTS"))) {
        log_.open(QIODevice::WriteOnly | QIODevice::Append);
        QDir().mkpath(shots_);
        steps_ = Steps();
        connect(&poll_, &QTimer::timeout, this, [this] { Tick(); });
        poll_.start(20);
        since_ = std::chrono::steady_clock::now();
    }

private:
    void Log(const QString& line) {
        log_.write(line.toUtf8() + '\n');
        log_.flush();
    }
    void Shot(QWidget* widget, const char* name) {
        if (widget) widget->grab().save(shots_ + QLatin1Char('/') + QLatin1String(name) + ".png");
    }

    // Each step is taken in an event of its own: a step that opens a modal window returns only
    // when it closes, and the steps inside it must go on meanwhile.
    void Tick() {
        if (next_ >= steps_.size()) return;
        const Step& step = steps_[next_];
        if (!step.ready()) {
            if (std::chrono::steady_clock::now() - since_ > kStepPatience) {
                Log(QStringLiteral("stuck before: ") + QLatin1String(step.name));
                Shot(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : MainWindow(),
                     "stuck");
                next_ = steps_.size();
                QCoreApplication::exit(3);
            }
            return;
        }
        Log(QStringLiteral("step: ") + QLatin1String(step.name));
        ++next_;
        since_ = std::chrono::steady_clock::now();
        QTimer::singleShot(0, this, step.act);
    }

    std::vector<Step> Steps() {
        return {
            {"the empty data file offers the new body",
             [] { return Modal("TfTestForm", QStringLiteral("Enter new Body of Water")) != nullptr; },
             [this] {
                 QWidget* form = QApplication::activeModalWidget();
                 Type(form, "eVolume", QStringLiteral("45000"));
                 Type(form, "eWidth", QStringLiteral("5"));
                 Type(form, "eLength", QStringLiteral("12"));
                 Type(form, "eDepth", QStringLiteral("1.5"));
                 Shot(form, "1-new-body-entry");
                 Click(form, "bSave");
             }},
            {"the body stands in the list, then New test",
             [] { return MainWindowIdle() && BodyCount() == 1; },
             [this] {
                 Log(QStringLiteral("body: ") + Child<QListWidget>(MainWindow(), "BV")->item(0)->text() +
                     ", " + Child<QLabel>(MainWindow(), "lVolume")->text());
                 Click(MainWindow(), "bNewTest");
             }},
            {"the test entry",
             [] { return Modal("TfTestForm", QStringLiteral("Enter new TEST")) != nullptr; },
             [this] {
                 QWidget* form = QApplication::activeModalWidget();
                 Type(form, "eAlkalinity", QStringLiteral("60"));
                 Type(form, "ePH", QStringLiteral("7.9"));
                 Type(form, "eHardness", QStringLiteral("150"));
                 Type(form, "eTotalChlorine", QStringLiteral("1.5"));
                 Type(form, "eFree", QStringLiteral("1"));
                 Type(form, "eTemperature", QStringLiteral("80"));
                 Type(form, "eTestNote", QStringLiteral("first"));
                 Type(form, "eSupplier", QStringLiteral("Blue Lagoon Supplies"));
                 Click(form, "bSave");
             }},
            {"the test stands in the list, then a second test",
             [] { return MainWindowIdle() && TestCount() == 1; }, [] { Trigger("Newwatertest1"); }},
            {"the second test's entry, its supplier remembered",
             [] { return Modal("TfTestForm", QStringLiteral("Enter new TEST")) != nullptr; },
             [this] {
                 QWidget* form = QApplication::activeModalWidget();
                 Log(QStringLiteral("supplier offered: ") +
                     Child<QPlainTextEdit>(form, "eSupplier")->toPlainText());
                 Type(form, "eAlkalinity", QStringLiteral("70"));
                 Type(form, "ePH", QStringLiteral("7.2"));
                 Type(form, "eTestNote", QStringLiteral("after the storm"));
                 Shot(form, "2-test-entry");
                 Click(form, "bSave");
             }},
            {"both tests stand in the list, then Show results",
             [] { return MainWindowIdle() && TestCount() == 2; },
             [this] {
                 // Both were taken in the same minute: the first entered stands first.
                 auto* tests = Child<QTreeWidget>(MainWindow(), "lTests");
                 Log(QStringLiteral("selected line: %1")
                         .arg(tests->indexOfTopLevelItem(tests->selectedItems().value(0))));
                 QTreeWidgetItem* second =
                     tests->findItems(QStringLiteral("after the storm"), Qt::MatchExactly, 2).value(0);
                 if (second)
                     QTest::mouseClick(tests->viewport(), Qt::LeftButton, {},
                                       tests->visualItemRect(second).center());
                 Log(QStringLiteral("selected test: ") + tests->selectedItems().value(0)->text(2));
                 Shot(MainWindow(), "3-main-window");
                 Click(MainWindow(), "bShow");
             }},
            {"the advice page in the viewer", [] { return Modal("viewer::TfmZelReslt") != nullptr; },
             [this] {
                 QWidget* viewer = QApplication::activeModalWidget();
                 if (auto* page = viewer->findChild<QTextBrowser*>())
                     Log(QStringLiteral("viewer shows: ") + page->source().fileName());
                 Shot(viewer, "4-advice-page");
                 QTest::keyClick(viewer, Qt::Key_Escape);
             }},
            {"the viewer closed, then the pH chart", [] { return MainWindowIdle(); },
             [] { Click(MainWindow(), "Label8"); }},
            {"the chart", [] { return Modal("TfmChart") != nullptr; },
             [this] {
                 QWidget* chart = QApplication::activeModalWidget();
                 Log(QStringLiteral("chart: ") + chart->windowTitle());
                 Shot(chart, "5-chart");
                 QTest::keyClick(chart, Qt::Key_Escape);
             }},
            {"the chart closed, then Delete test", [] { return MainWindowIdle(); },
             [] { Click(MainWindow(), "bDelTest"); }},
            {"the test's confirmation",
             [] { return Box(QStringLiteral("Delete water test. Are you sure?")) != nullptr; }, AnswerYes},
            {"one test is left, then Delete body", [] { return MainWindowIdle() && TestCount() == 1; },
             [] { Trigger("DeleteBodyofWater1"); }},
            {"the body's confirmation",
             [] {
                 return Box(QStringLiteral("Delete Body of Water and all it's Tests. Are you sure?")) !=
                        nullptr;
             },
             AnswerYes},
            {"the body is gone, then Exit", [] { return MainWindowIdle() && BodyCount() == 0; },
             [this] {
                 Log(QStringLiteral("road done"));
                 Trigger("Exit1");
             }},
        };
    }

    QFile log_;
    QString shots_;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer poll_;
    std::chrono::steady_clock::time_point since_;
};

void StartRoad() {
    // Called while the application object is being made: the road starts in its event loop.
    QTimer::singleShot(0, [] {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            new Road; // lives as long as the process
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartRoad)
