// The chart form: its size and axis rules, the series a body's tests give through the database
// layer, and the form itself on the offscreen platform (with a screenshot).
#include "app/fChart.h"

#include "platform/DateTimeText.h"
#include "support/DrawnInk.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"

#include "FaultyFileOps.h"
#include "TempFolder.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QValueAxis>
#include <gtest/gtest.h>

#include <limits>

namespace {

double June(int day) {
    return *platform::EncodeDayCount(2026, 6, day);
}

TEST(ChartRules, TheFormTakesNinetyPercentOfTheScreenTheTenthRoundedHalfToEven) {
    const std::vector<std::pair<int, int>> cases = {
        {800, 720}, {1024, 922}, {1365, 1229}, {1375, 1237}, {0, 0}};
    for (const auto& [screen, extent] : cases)
        EXPECT_EQ(ChartFormExtent(screen), extent) << screen;
}

TEST(ChartRules, AxisTitlesFollowTheReadingAndTheTemperatureUnit) {
    TTestData fahrenheit, celsius;
    celsius.celsius = 1;
    const std::vector<std::pair<int, QString>> cases = {
        {0, "ppm"}, {1, ""},    {2, "ppm"}, {3, "ppm"},  {4, "ppm"},  {5, "ppm"}, {6, "mV"},
        {7, "ppm"}, {8, "ppm"}, {9, "ppm"}, {10, "ppm"}, {11, "ppm"}, {12, ""},   {13, "Fahrenheit"},
        {14, ""},   {-1, ""}};
    for (const auto& [reading, title] : cases)
        EXPECT_EQ(AxisUnitText(reading, fahrenheit), title) << reading;
    EXPECT_EQ(AxisUnitText(13, celsius), "Celsius");
    EXPECT_EQ(AxisUnitText(0, celsius), "ppm");
}

TEST(ChartRules, RepeatedDatesBecomeDistinctLabelsThatShowTheSame) {
    const std::vector<TChartPoint> points = {
        {1, "6/1/2026"}, {2, "6/1/2026"}, {3, "6/2/2026"}, {4, "6/1/2026"}};
    const QStringList labels = DistinctCategoryLabels(points);
    ASSERT_EQ(labels.size(), 4);
    EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), 4);
    for (int i = 0; i < labels.size(); ++i)
        EXPECT_EQ(QString(labels[i]).remove(QChar(0x200B)), points[static_cast<std::size_t>(i)].label);
}

// A body of water in a fresh data file, with the tests a case adds.
class ChartSeries : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(StartBrinovaDB());
        OpenRec(folder.File("zelp.DAT"));
        ASSERT_NE(RecordFileblock(), nullptr);
        TStoredRecord record;
        body = AddBody(record);
    }
    void TearDown() override {
        StopBrinovaDB();
        QLocale::setDefault(QLocale::c());
    }

    // A test of `date` with total alkalinity `alkalinity` and temperature `degrees` in `celsius`.
    void AddTest(double date, long double alkalinity, long double degrees = 0, std::uint8_t celsius = 0) {
        TStoredRecord record;
        record.test.date = date;
        record.test.alkalinity = alkalinity;
        record.test.temperature = degrees;
        record.test.celsius = celsius;
        ASSERT_GT(AddTestRecord(record, body), 0);
    }

    TRecList Tests() {
        TRecList tests;
        EXPECT_TRUE(ListTests(body, tests));
        return tests;
    }

    static std::vector<std::pair<double, QString>> Points(const TChartData& data) {
        std::vector<std::pair<double, QString>> points;
        for (const TChartPoint& point : data.points)
            points.emplace_back(static_cast<double>(point.value), point.label);
        return points;
    }

    test::TempFolder folder;
    RecordingMessageBoxes boxes;
    std::int32_t body = 0;
};

TEST_F(ChartSeries, TestsAreDrawnOldestFirstWhateverTheOrderTheyWereEntered) {
    AddTest(June(3), 120);
    AddTest(June(1), 100);
    AddTest(June(2), -5); // negative values are drawn
    const TChartData data = FillSeries(Tests(), 0);
    EXPECT_EQ(Points(data), (std::vector<std::pair<double, QString>>{
                                {100, "6/1/2026"}, {-5, "6/2/2026"}, {120, "6/3/2026"}}));
    EXPECT_EQ(data.axisTitle, "ppm");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ChartSeries, ZeroReadingsAreSkippedAndAnAllZeroReadingGivesAnEmptyChart) {
    AddTest(June(1), 0, 20, 1);
    AddTest(June(2), 90, 21, 0);
    AddTest(June(3), 0, 22, 0);
    EXPECT_EQ(Points(FillSeries(Tests(), 0)), (std::vector<std::pair<double, QString>>{{90, "6/2/2026"}}));
    EXPECT_TRUE(FillSeries(Tests(), 5).points.empty());
    EXPECT_EQ(FillSeries(Tests(), 5).axisTitle, "ppm");
}

TEST_F(ChartSeries, ReadingsThatAreNoNumberAreLeftOutLikeUnmeasuredOnes) {
    AddTest(June(1), std::numeric_limits<long double>::quiet_NaN());
    AddTest(June(2), 90);
    AddTest(June(3), std::numeric_limits<long double>::infinity());
    AddTest(June(4), -std::numeric_limits<long double>::infinity());
    EXPECT_EQ(Points(FillSeries(Tests(), 0)), (std::vector<std::pair<double, QString>>{{90, "6/2/2026"}}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ChartSeries, TheTemperatureTitleFollowsTheOldestTestAlone) {
    AddTest(June(1), 0, 25, 1);
    AddTest(June(2), 0, 80, 0);
    const TChartData data = FillSeries(Tests(), 13);
    EXPECT_EQ(data.axisTitle, "Celsius");
    EXPECT_EQ(Points(data).size(), 2u); // values are not converted
    EXPECT_EQ(data.points[1].value, 80);
}

TEST_F(ChartSeries, AnOldestTestSkippedForZeroKeepsPpm) {
    AddTest(June(1), 0, 0, 1);
    AddTest(June(2), 0, 80, 1);
    EXPECT_EQ(FillSeries(Tests(), 13).axisTitle, "ppm");
}

TEST_F(ChartSeries, ABodyWithoutTestsGivesAnEmptyChartTitledPpm) {
    const TChartData data = FillSeries(Tests(), 6);
    EXPECT_TRUE(data.points.empty());
    EXPECT_EQ(data.axisTitle, "ppm");
}

TEST_F(ChartSeries, AFailedReadEndsTheSeriesWithThePointsSoFar) {
    AddTest(June(1), 100);
    AddTest(June(2), 110);
    AddTest(June(3), 120);
    const TRecList tests = Tests();
    test::FaultyFileOps files;
    files.FailNth(test::FileCall::Read, 2, platform::win32::kIoDevice, ".DAT");
    EXPECT_EQ(Points(FillSeries(tests, 0)), (std::vector<std::pair<double, QString>>{{100, "6/1/2026"}}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Data read/write error! (GetRec: "));
}

TEST_F(ChartSeries, ReadReadingGivesTheValueOfItsSlot) {
    TStoredRecord record;
    record.test.pH = 7.4L;
    record.test.orp = 650;
    const std::int32_t n = AddTestRecord(record, body);
    long double value = 0;
    ASSERT_TRUE(ReadReading(n, 1, value));
    EXPECT_EQ(value, 7.4L);
    ASSERT_TRUE(ReadReading(n, 6, value));
    EXPECT_EQ(value, 650);
    EXPECT_FALSE(ReadReading(n, 14, value));
}

TEST_F(ChartSeries, TheFormShowsItsCaptionTitleAxisAndSeriesAndClosesOnEnter) {
    const double dates[] = {June(1), June(1), June(3), June(4), June(8), June(9)};
    const long double values[] = {80, 95, 110, 105, 130, 120};
    for (int i = 0; i < 6; ++i)
        AddTest(dates[i], values[i]);
    QPointer<TfmChart> form = new TfmChart();
    EXPECT_EQ(form->objectName(), "fmChart");
    EXPECT_EQ(form->windowTitle(), "Chart");
    EXPECT_EQ(form->Chart->chart()->title(), "TChart");
    EXPECT_EQ(form->size(), QSize(ChartFormExtent(form->screen()->geometry().width()),
                                  ChartFormExtent(form->screen()->geometry().height())));
    form->Present(Tests(), 0, "Swimming Pool, 60 000 Liter", "Total Alkalinity");
    EXPECT_EQ(form->windowTitle(), "Swimming Pool, 60 000 Liter");
    QChart* chart = form->Chart->chart();
    EXPECT_EQ(chart->title(), "Total Alkalinity");
    EXPECT_EQ(form->findChild<QChartView*>("Chart"), form->Chart);
    ASSERT_EQ(form->Series1->count(), 6);
    EXPECT_EQ(form->Series1->at(0), QPointF(0, 95)); // equal dates: the later key is listed first
    EXPECT_EQ(form->Series1->at(5), QPointF(5, 120));
    EXPECT_EQ(form->Series1->pen().color(), QColor(Qt::red));
    const auto left = chart->axes(Qt::Vertical);
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0]->titleText(), "ppm");
    const auto bottom = chart->axes(Qt::Horizontal);
    ASSERT_EQ(bottom.size(), 1);
    EXPECT_EQ(qobject_cast<QBarCategoryAxis*>(bottom[0])->count(), 6);

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    QTest::keyClick(form, Qt::Key_Return);
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

// The line draws no symbols, so a line of one point would draw nothing: that point shows as a
// red mark where it stands, on the screen's own drawing of the chart.
TEST_F(ChartSeries, AChartOfOneTestShowsItsPoint) {
    AddTest(June(1), 100);
    QPointer<TfmChart> form = new TfmChart();
    form->Present(Tests(), 0, "Pond, 800.00 Liter", "Total Alkalinity");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    QTest::qWait(50);
    ASSERT_EQ(form->Series1->count(), 1);
    const QPointF point = form->Chart->chart()->mapToPosition(form->Series1->at(0), form->Series1);
    const QPoint centre = form->Chart->mapFromScene(point);
    const QImage drawn = form->Chart->viewport()->grab().toImage();
    test::SaveScreenshot(*form, "chart-one-test");
    const QRect aroundThePoint(centre - QPoint(8, 8), QSize(17, 17));
    EXPECT_GE(test::PixelsWhere(drawn, aroundThePoint, test::IsClearlyRed), 25);
    // Nothing else in the chart is red.
    EXPECT_EQ(test::PixelsWhere(drawn, drawn.rect(), test::IsClearlyRed),
              test::PixelsWhere(drawn, aroundThePoint, test::IsClearlyRed));
    form->close();
}

TEST_F(ChartSeries, EnterOrEscapeOnTheChartPanelClosesTheForm) {
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Enter}) {
        QPointer<TfmChart> form = new TfmChart();
        form->Present(Tests(), 1, "Pond", "pH");
        form->show();
        form->Chart->setFocus();
        QTest::keyClick(form->Chart, key);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(form.isNull()) << key;
    }
}

TEST_F(ChartSeries, ShowChartReturnsWhenItsWindowCloses) {
    AddTest(June(1), 100);
    QString caption;
    int points = -1;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TfmChart*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        caption = form->windowTitle();
        points = form->Series1->count();
        QTest::keyClick(form, Qt::Key_Escape);
    });
    ShowChart(Tests(), 0, "Spa/Hot Tub, 1 500 Liter", "Total Alkalinity");
    EXPECT_EQ(caption, "Spa/Hot Tub, 1 500 Liter");
    EXPECT_EQ(points, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_TRUE(
        std::none_of(windows.begin(), windows.end(), [](QWidget* w) { return qobject_cast<TfmChart*>(w); }));
}

} // namespace
