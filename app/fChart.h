#pragma once

#include "app/BrinovaDB.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
namespace Ui {
class fmChart;
}

// The chart form: one reading over all tests of a body of water as a red line, oldest test on
// the left, each point labelled with its test date.

constexpr int kReadingCount = 14; // the readings a chart link can ask for (its Tag)

// The form's extent on a screen of `screenExtent` pixels: 90 %, the tenth rounded half to even.
int ChartFormExtent(int screenExtent);
// The axis title of a reading: "ppm", "mV", "Celsius" or "Fahrenheit" (by the test's unit), or
// empty for pH, acid demand and a reading outside the table.
QString AxisUnitText(int reading, const TTestData& test);
// The reading's value in the stored test record; false when the record could not be read (the
// database layer has shown its box) or the reading is outside the table.
bool ReadReading(std::int32_t record, int reading, long double& value);

struct TChartPoint {
    long double value;
    QString label; // the test date as the locale's short date text
};
struct TChartData {
    std::vector<TChartPoint> points; // oldest test first
    QString axisTitle = "ppm";
};
// The points of a test list (newest first, as the main window keeps it): walked from its oldest
// entry, stopping at a failed read, skipping readings of exactly 0; the axis title follows the
// oldest test unless its reading was 0.
TChartData FillSeries(const TRecList& tests, int reading);

// Category labels must be unique: a repeated label gets invisible zero-width blanks appended.
QStringList DistinctCategoryLabels(const std::vector<TChartPoint>& points);

class TfmChart : public QDialog {
    Q_OBJECT
public:
    explicit TfmChart(QWidget* parent = nullptr);
    ~TfmChart() override;

    // Window caption, chart title and the series of `reading` over `tests`.
    void Present(const TRecList& tests, int reading, const QString& caption, const QString& title);

    QChartView* Chart = nullptr;
    QLineSeries* Series1 = nullptr;

protected:
    // FormKeyPress: the form sees the keys before the chart panel does.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    bool FormKeyPress(const QKeyEvent& key);
    void ShowSeries(const TChartData& data);
    void MarkLonePoint(bool alone);

    std::unique_ptr<Ui::fmChart> ui_;
    QChart* chart_ = nullptr;
};

// Shows the chart modally; returns when its window closes (the form frees itself).
void ShowChart(const TRecList& tests, int reading, const QString& caption, const QString& title);
