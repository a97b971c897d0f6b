#include "ZlCalc.h"

#include "MessageFont.h"
#include "ZlResources.h"
#include "ZlUtils.h"
#include "platform/Beep.h"
#include "zlStrUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <optional>

namespace widgets {
namespace {

constexpr TCalcKeyKind kSignKey = 11;
constexpr TCalcKeyKind kPointKey = 12;
constexpr TCalcKeyKind kMemoryPlus = 23;
constexpr TCalcKeyKind kMemoryStore = 24;
constexpr TCalcKeyKind kMemoryRecall = 25;
constexpr TCalcKeyKind kMemoryClear = 26;
constexpr TCalcKeyKind kAcceptKey = 27;
constexpr TCalcKeyKind kCancelKey = 28;
constexpr TCalcKeyKind kLastKind = 28;

// The key characters of kinds 1 to 22, in kind order; FindKeyButton looks typed keys up here.
const QString& KeyString() {
    static const QString keys = QStringLiteral("0123456789_./*-+Q%R=") + QChar(8) + u'C';
    return keys;
}

struct KeySpot {
    int left = -1; // -1: this layout has no such key
    int top = -1;
    int width = 0; // 0: the layout's key width
};

struct KeyPlace {
    KeySpot full;
    KeySpot compact;
    const char* caption; // for kinds 11 and 13 to 26
    int glyphCell;       // cell of "CALCBTNS" in the full layout, or -1
};

// Index kind - 1.
const KeyPlace kKeyPlaces[kLastKind] = {
    {{47, 104}, {6, 75}, nullptr, -1},   // 0
    {{47, 80}, {6, 52}, nullptr, -1},    // 1
    {{85, 80}, {29, 52}, nullptr, -1},   // 2
    {{123, 80}, {52, 52}, nullptr, -1},  // 3
    {{47, 56}, {6, 29}, nullptr, -1},    // 4
    {{85, 56}, {29, 29}, nullptr, -1},   // 5
    {{123, 56}, {52, 29}, nullptr, -1},  // 6
    {{47, 32}, {6, 6}, nullptr, -1},     // 7
    {{85, 32}, {29, 6}, nullptr, -1},    // 8
    {{123, 32}, {52, 6}, nullptr, -1},   // 9
    {{85, 104}, {52, 75}, "\u00B1", 2},  // change sign
    {{123, 104}, {29, 75}, nullptr, -1}, // decimal point
    {{161, 32}, {75, 6}, "/", -1},
    {{161, 56}, {75, 29}, "*", 3},
    {{161, 80}, {75, 52}, "-", 4},
    {{161, 104}, {75, 75}, "+", 5},
    {{199, 32}, {}, "sqrt", -1},
    {{199, 56}, {}, "%", -1},
    {{199, 80}, {}, "1/x", -1},
    {{199, 104}, {52, 98, 44}, "=", -1},
    {{145, 6, 44}, {29, 98}, "<-", -1}, // backspace
    {{191, 6, 44}, {6, 98}, "C", -1},
    {{5, 104}, {}, "MP", -1},
    {{5, 80}, {}, "MS", -1},
    {{5, 56}, {}, "MR", -1},
    {{5, 32}, {}, "MC", -1},
    {{47, 6}, {}, nullptr, 1}, // accept
    {{85, 6}, {}, nullptr, 0}, // cancel
};

QChar DecimalSeparator() {
    return UserNumberSeparators().decimal;
}

} // namespace

TColor KeyKindColor(TCalcKeyKind kind) {
    if ((kind >= 17 && kind <= 19) || (kind >= 23 && kind <= 26)) return clNavy;
    if ((kind >= 13 && kind <= 16) || kind == 20) return clPurple;
    if (kind == 21 || kind == 22) return clMaroon;
    return clBtnText;
}

void ApplyBoldMessageFont(QFont& font) {
    ApplyMessageFont(font);
    font.setBold(true);
}

TCalcButton::TCalcButton(QWidget* panel, TCalcKeyKind kind)
    : TZlSpeedButton(panel), kind_(kind), tag_(kind <= 22 ? kind - 1 : -1) {
    // The caption takes its kind's colour; the font stays the parent's.
    SetFontColor(KeyKindColor(kind));
    setFocusPolicy(Qt::NoFocus);
}

TCalculatorPanel::TCalculatorPanel(QWidget* owner, bool compact)
    : QFrame(owner), engine_(UserNumberSeparators()), compact_(compact) {
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, ToQColor(clBtnFace, face));
    setPalette(face);
    resize(compact ? QSize(98, 124) : QSize(240, 129));
    QFont bold;
    ApplyBoldMessageFont(bold);
    setFont(bold);
    setFrameStyle(QFrame::NoFrame);

    TBitmap glyphs;
    if (!compact) glyphs = LoadBitmapResource("CALCBTNS");
    for (TCalcKeyKind kind = 1; kind <= kLastKind; ++kind) {
        const KeyPlace& place = kKeyPlaces[kind - 1];
        const KeySpot& spot = compact ? place.compact : place.full;
        if (spot.left < 0) continue;
        const QSize size = compact ? QSize(21, 21) : QSize(36, 22);
        TCalcButton* key = CreateCalcKey(
            kind, QRect(spot.left, spot.top, spot.width ? spot.width : size.width(), size.height()));
        if (!compact && place.glyphCell >= 0) {
            TBitmap cell;
            CutBitmapCell(&glyphs, &cell, 6, 1, place.glyphCell);
            key->SetCaption(QString());
            key->SetGlyph(cell);
        }
    }
    if (!compact) {
        memoryPanel_ = new QFrame(this);
        memoryPanel_->setGeometry(6, 7, 34, 20);
        memoryPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        memoryLabel_ = new QLabel(memoryPanel_);
        memoryLabel_->setObjectName(QStringLiteral("memoryLabel"));
        memoryLabel_->setGeometry(3, 3, 26, 14);
        memoryLabel_->setAlignment(Qt::AlignCenter);
        QFont plain = bold;
        plain.setBold(false);
        memoryLabel_->setFont(plain);
    }
    WireEngine();
}

TCalcButton* TCalculatorPanel::CreateCalcKey(TCalcKeyKind kind, QRect bounds) {
    auto* key = new TCalcButton(this, kind);
    key->setObjectName(QStringLiteral("calcKey%1").arg(kind));
    if (kind <= 10)
        key->SetCaption(QString(QChar(u'0' + kind - 1)));
    else if (kind == kPointKey)
        key->SetCaption(QString(DecimalSeparator()));
    else if (kKeyPlaces[kind - 1].caption)
        key->SetCaption(QString::fromUtf8(kKeyPlaces[kind - 1].caption));
    key->setGeometry(bounds);
    key->SetStyle(bsNew);
    connect(key, &TZlSpeedButton::OnClick, this, [this, key] { CalcKeyClick(key); });
    keys_.push_back(key);
    return key;
}

void TCalculatorPanel::WireEngine() {
    TCalcEngine::Hooks& h = engine_.hooks;
    h.beep = [] { platform::MessageBeep(); };
    h.errorRaised = [this] { emit OnErrorRaised(); };
    h.resultKey = [this] { emit OnResultKey(); };
    h.displayTextChanged = [this] { DisplayTextChanged(); };
    h.displayNumberChanged = [this] { emit OnDisplayNumberChanged(); };
    h.memoryChanged = [this] { UpdateMemoryMark(); };
    h.keyFilter = [this](QChar& key) {
        if (OnKeyFilter) OnKeyFilter(key);
    };
    h.readClipboard = []() -> std::optional<QString> {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data || !data->hasText()) return std::nullopt;
        return data->text();
    };
    h.writeClipboard = [](const QString& text) { QGuiApplication::clipboard()->setText(text); };
}

void TCalculatorPanel::SetMirrorControl(QWidget* control) {
    mirror_ = control;
}

void TCalculatorPanel::DisplayTextChanged() {
    if (mirror_) mirror_->setProperty("text", DisplayText());
    emit OnDisplayTextChanged();
}

void TCalculatorPanel::CalcKeyClick(TCalcButton* key) {
    const TCalcKeyKind kind = key->Kind();
    if (kind <= 22) {
        engine_.FeedCalculatorKey(kind == kPointKey ? DecimalSeparator() : KeyString()[kind - 1]);
        return;
    }
    switch (kind) {
    case kMemoryPlus:
        engine_.MemoryPlus();
        break;
    case kMemoryStore:
        engine_.MemoryStore();
        break;
    case kMemoryRecall:
        engine_.MemoryRecall();
        break;
    case kMemoryClear:
        engine_.MemoryClear();
        break;
    case kAcceptKey:
        if (engine_.Accept()) emit OnAcceptKey();
        break;
    case kCancelKey:
        emit OnCancelKey();
        break;
    default:
        break;
    }
}

TCalcButton* TCalculatorPanel::FindKeyButton(QChar typed) const {
    if (typed == u'.' || typed == u',' || typed == DecimalSeparator())
        typed = u'.';
    else if (typed == QChar(13))
        typed = u'=';
    else if (typed == QChar(27))
        typed = u'C';
    const qsizetype p = KeyString().indexOf(typed.toUpper());
    if (p < 0) return nullptr;
    for (QObject* child : children())
        if (auto* key = qobject_cast<TCalcButton*>(child); key && key->Tag() == p) return key;
    return nullptr;
}

void TCalculatorPanel::TypeCalculatorKey(QChar typed) {
    if (TCalcButton* key = FindKeyButton(typed))
        key->FlashAndClickButton();
    else
        engine_.FeedCalculatorKey(typed);
}

void TCalculatorPanel::UpdateMemoryMark() {
    if (memoryLabel_) memoryLabel_->setText(engine_.MemoryValue() != 0 ? QStringLiteral("M") : QString());
}

void TCalculatorPanel::SetCtl3D(bool on) {
    for (TCalcButton* key : keys_)
        key->SetStyle(on ? bsNew : bsWin31);
    if (memoryPanel_)
        memoryPanel_->setFrameStyle(on ? QFrame::Panel | QFrame::Sunken : QFrame::Box | QFrame::Plain);
}

TLocCalculator::TLocCalculator(QWidget* owner) : TCalculatorPanel(owner, true) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

TPopupCalculator::TPopupCalculator(QWidget* editor) : TPopupWindow(editor) {
    resize(104, 127);
    QPalette face = palette();
    face.setColor(QPalette::Window, ToQColor(clBtnFace, face));
    setPalette(face);
    QFont bold;
    ApplyBoldMessageFont(bold);
    setFont(bold);
    calculator_ = new TLocCalculator(this);
    calculator_->setObjectName(QStringLiteral("calculator"));
    calculator_->setGeometry(contentsRect());
    calculator_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    calculator_->SetDisplayPrecision(15);
    calculator_->show();
    connect(calculator_, &TCalculatorPanel::OnDisplayTextChanged, this, [this] { RepaintEditorText(); });
    connect(calculator_, &TCalculatorPanel::OnResultKey, this, &TPopupCalculator::PopupResultKey);
}

QVariant TPopupCalculator::ReadPopupValue() {
    if (calculator_->EntryState() == ceError) {
        if (calculator_->BeepOnError()) platform::MessageBeep();
        return QVariant(0);
    }
    calculator_->ShowNumber(calculator_->DisplayNumber());
    return QVariant(calculator_->DisplayNumber());
}

void TPopupCalculator::WritePopupValue(const QVariant& value) {
    double number = 0;
    if (value.typeId() == QMetaType::QString) {
        number = ParseDoubleText(TrimBlanks(value.toString()), UserNumberSeparators().decimal).value_or(0.0);
    } else if (value.isValid() && !value.isNull()) {
        bool ok = false;
        number = value.toDouble(&ok);
        if (!ok) number = 0;
    }
    calculator_->StartWith(number);
}

QString TPopupCalculator::PopupDisplayText() const {
    return calculator_->DisplayText();
}

void TPopupCalculator::KeyPress(QChar& key) {
    calculator_->TypeCalculatorKey(key);
    TPopupWindow::KeyPress(key);
}

void TPopupCalculator::PopupResultKey() {
    if (calculator_->EntryState() == ceError) return;
    calculator_->ShowNumber(calculator_->DisplayNumber());
    PopupClosing(true);
}

void ScaleWidgetTree(QWidget* widget, int numerator, int denominator) {
    const auto scale = [&](int v) { return v * numerator / denominator; };
    const QRect r = widget->geometry();
    widget->setGeometry(scale(r.x()), scale(r.y()), scale(r.width()), scale(r.height()));
    for (QObject* child : widget->children())
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
            ScaleWidgetTree(w, numerator, denominator);
}

TPopupCalculator* CreatePopupCalculator(QWidget* edit, Qt::LayoutDirection direction) {
    auto* popup = new TPopupCalculator(edit);
    const int dpi = popup->logicalDpiX();
    if (edit && dpi != 96) {
        ScaleWidgetTree(popup, dpi, 96);
        popup->Calculator()->setFont(QFont());
        QFont bold;
        ApplyBoldMessageFont(bold);
        popup->setFont(bold);
        popup->setLayoutDirection(direction);
    }
    return popup;
}

void SetupPopupCalculator(TPopupWindow* popup, int precision, bool beepOnError) {
    auto* calculator = qobject_cast<TPopupCalculator*>(popup);
    if (!calculator) return;
    calculator->Calculator()->SetDisplayPrecision(std::max(2, precision));
    calculator->Calculator()->SetBeepOnError(beepOnError);
}

} // namespace widgets
