#include "fChart.h"

#include "ui_fChart.h"

#include "platform/DateTimeText.h"
#include "platform/Real80.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineSeries>
#include <QLinearGradient>
#include <QScreen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Reading n is the 80-bit real in the 16-byte slot at 16 + 16 n of the test block.
std::size_t ReadingOffset(int reading) {
    return stored_offset::block + 16 + 16 * static_cast<std::size_t>(reading);
}

constexpr int kTemperatureReading = 13;
constexpr int kPointSymbolSize = 9; // pixels each way

QString ShortDateText(double date, const platform::FormatSettings& settings) {
    return platform::FormatDateTime(settings.shortDateFormat, date, settings);
}

} // namespace

int ChartFormExtent(int screenExtent) {
    std::int32_t tenth = 0;
    RoundToInt32(static_cast<long double>(screenExtent) / 10.0L, tenth);
    return screenExtent - tenth;
}

QString AxisUnitText(int reading, const TTestData& test) {
    switch (reading) {
    case 1:  // pH
    case 12: // acid demand
        return {};
    case 6:
        return "mV";
    case kTemperatureReading:
        return test.celsius != 0 ? "Celsius" : "Fahrenheit";
    default:
        return reading >= 0 && reading < kReadingCount ? "ppm" : QString();
    }
}

bool ReadReading(std::int32_t record, int reading, long double& value) {
    if (reading < 0 || reading >= kReadingCount) return false;
    TStoredBytes bytes{};
    if (!GetRec(record, bytes)) return false;
    value = platform::GetReal80(bytes.data(), ReadingOffset(reading));
    return true;
}

TChartData FillSeries(const TRecList& tests, int reading) {
    TChartData data;
    if (reading < 0 || reading >= kReadingCount) return data;
    const platform::FormatSettings settings = platform::WindowsFormatSettings();
    for (auto entry = tests.rbegin(); entry != tests.rend(); ++entry) {
        TStoredBytes bytes{};
        if (!GetRec(entry->recordNumber, bytes)) break;
        const long double value = platform::GetReal80(bytes.data(), ReadingOffset(reading));
        // A value that is no number was never a reading: left out like one not measured.
        if (value == 0 || !std::isfinite(value)) continue;
        const TTestData test = TTestData::Decode(bytes.data() + stored_offset::block);
        if (entry == tests.rbegin()) data.axisTitle = AxisUnitText(reading, test);
        data.points.push_back({value, ShortDateText(test.date, settings)});
    }
    return data;
}

QStringList DistinctCategoryLabels(const std::vector<TChartPoint>& points) {
    QStringList labels;
    std::map<QString, int> seen;
    for (const TChartPoint& point : points) {
        const int repeats = seen[point.label]++;
        labels << point.label + QString(repeats, QChar(0x200B));
    }
    return labels;
}

TfmChart::TfmChart(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::fmChart>()) {
    ui_->setupUi(this);
    Chart = ui_->Chart;
    setAttribute(Qt::WA_DeleteOnClose); // FormClose: the form frees itself
    // A system menu and its close box only: no minimize, maximize or help buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    chart_ = new QChart();
    QLinearGradient background(0, 0, 0, 1);
    background.setCoordinateMode(QGradient::ObjectMode);
    background.setColorAt(0, Qt::white);
    background.setColorAt(1, QColor(0, 255, 255)); // aqua
    chart_->setBackgroundBrush(background);
    chart_->setBackgroundRoundness(0);
    chart_->layout()->setContentsMargins(0, 0, 0, 0); // the panel fills the form, no bevel
    chart_->setLocalizeNumbers(true);                 // the user's decimal separator
    chart_->setPlotAreaBackgroundVisible(false);      // the back wall: white pen, clear brush
    QFont titleFont("Arial");
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);
    chart_->setTitleBrush(Qt::black);
    chart_->setTitle("TChart");
    chart_->legend()->hide();

    Series1 = new QLineSeries(chart_);
    Series1->setObjectName("Series1");
    Series1->setPen(QPen(Qt::red, 2));
    Series1->setPointsVisible(false);
    Series1->setPointLabelsVisible(false);
    chart_->addSeries(Series1);
    Chart->setChart(chart_);
    Chart->setRenderHint(QPainter::Antialiasing);
    Chart->installEventFilter(this);
    FormCreate();
}

TfmChart::~TfmChart() = default;

void TfmChart::FormCreate() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    resize(ChartFormExtent(area.width()), ChartFormExtent(area.height()));
    move(area.center() - rect().center());
}

void TfmChart::Present(const TRecList& tests, int reading, const QString& caption, const QString& title) {
    setWindowTitle(caption);
    chart_->setTitle(title);
    ShowSeries(FillSeries(tests, reading));
}

void TfmChart::ShowSeries(const TChartData& data) {
    for (QAbstractAxis* axis : chart_->axes())
        chart_->removeAxis(axis);
    Series1->clear();
    auto* dates = new QBarCategoryAxis(chart_);
    dates->append(DistinctCategoryLabels(data.points));
    auto* values = new QValueAxis(chart_);
    values->setTitleText(data.axisTitle);
    values->setLabelFormat("%.6g");
    if (data.points.empty()) {
        values->setRange(0, 1);
    } else {
        long double low = data.points.front().value, high = low;
        for (std::size_t i = 0; i < data.points.size(); ++i) {
            Series1->append(static_cast<qreal>(i), static_cast<qreal>(data.points[i].value));
            low = std::min(low, data.points[i].value);
            high = std::max(high, data.points[i].value);
        }
        const long double margin = high > low ? (high - low) / 10 : std::max<long double>(1, high / 10);
        values->setRange(static_cast<qreal>(low - margin), static_cast<qreal>(high + margin));
        values->applyNiceNumbers();
    }
    MarkLonePoint(data.points.size() == 1);
    chart_->addAxis(dates, Qt::AlignBottom);
    chart_->addAxis(values, Qt::AlignLeft);
    Series1->attachAxis(dates);
    Series1->attachAxis(values);
}

void TfmChart::MarkLonePoint(bool alone) {
    // The line draws no symbols; a line of one point would draw nothing at all, so that point
    // gets its rectangle in the line's colour.
    if (!alone) {
        Series1->setLightMarker(QImage());
        return;
    }
    QImage symbol(kPointSymbolSize, kPointSymbolSize, QImage::Format_ARGB32);
    symbol.fill(Series1->pen().color());
    Series1->setMarkerSize(kPointSymbolSize);
    Series1->setLightMarker(symbol);
}

bool TfmChart::FormKeyPress(const QKeyEvent& key) {
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter && key.key() != Qt::Key_Escape)
        return false;
    close();
    return true;
}

bool TfmChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Chart && event->type() == QEvent::KeyPress &&
        FormKeyPress(static_cast<QKeyEvent&>(*event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TfmChart::keyPressEvent(QKeyEvent* event) {
    if (FormKeyPress(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ShowChart(const TRecList& tests, int reading, const QString& caption, const QString& title) {
    auto* form = new TfmChart(nullptr);
    form->Present(tests, reading, caption, title);
    form->exec();
}
