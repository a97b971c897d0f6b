#include "fZELP.h"

#include "app/BodyPictures.h"
#include "app/BrinovaAPI.h"
#include "app/FocusedLine.h"
#include "app/FormPlacement.h"
#include "app/MainWindowRules.h"
#include "app/TestLineDelegate.h"
#include "app/fChart.h"
#include "engine/BrinovaDEF.h"
#include "platform/Cp1252.h"
#include "platform/DateTimeText.h"
#include "platform/WindowsLocale.h"
#include "ui_fZELP.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <climits>

namespace {

constexpr int kRecordRole = Qt::UserRole;
constexpr int kImageIndexRole = Qt::UserRole + 1;
constexpr int kPanelWidths[2] = {88, 128};
constexpr int kDateColumnWidth = 88;
constexpr int kTimeColumnWidth = 88;
// A stored position that is not there: the window system chooses one at the first show.
constexpr int kNoPosition = INT_MIN;

QFont PixelFont(const QFont& base, int pixels, bool bold, bool underline = false) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

// Text in the given colour while the control is enabled; disabled, the style's grey, as every
// other control has.
void SetEnabledTextColour(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::ButtonText, colour);
        palette.setColor(group, QPalette::WindowText, colour);
    }
    control->setPalette(palette);
}

// A rule under a heading, and the heading's own background.
void MakeRule(QWidget* rule) {
    QPalette palette = rule->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    rule->setPalette(palette);
    rule->setAutoFillBackground(true);
}

// A section heading: white bold text on blue, in the window's font.
void MakeHeading(QLabel* heading, const QFont& windowFont) {
    MakeRule(heading);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    heading->setPalette(palette);
    QFont bold = windowFont;
    bold.setBold(true);
    heading->setFont(bold);
}

std::int32_t RecordOf(const QVariant& data) {
    return data.isValid() ? data.toInt() : -1;
}

// The window's normal geometry as the configuration keeps it (frame position, inside size),
// also while it is maximised or full screen: as it last stood normal when it did, else its
// normal inside with the frame offset it has now.
TFormBounds NormalBounds(const QWidget& window, const std::optional<TFormBounds>& lastNormal) {
    if (!(window.isMaximized() || window.isFullScreen()))
        return {window.x(), window.y(), window.width(), window.height()};
    if (lastNormal) return *lastNormal;
    if (!window.normalGeometry().isValid()) return {window.x(), window.y(), window.width(), window.height()};
    const QRect normal = window.normalGeometry();
    const QPoint frameOffset = window.geometry().topLeft() - window.pos();
    return {normal.x() - frameOffset.x(), normal.y() - frameOffset.y(), normal.width(), normal.height()};
}

} // namespace

TZELP::TZELP(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::ZELP>()) {
    ui->setupUi(this);
    FormCreate();
}

TZELP::~TZELP() = default;

// ---- Creating the window -------------------------------------------------------------------

void TZELP::FormCreate() {
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(11);
    setFont(arial);
    ui->lBody->setFont(PixelFont(arial, 16, true, true));
    SetEnabledTextColour(ui->lBody, Qt::red);
    for (QPushButton* button : {ui->bNew, ui->bNewTest}) {
        button->setFont(PixelFont(arial, 11, true));
        SetEnabledTextColour(button, Qt::red);
    }
    for (QLabel* heading : {ui->lHeadBody, ui->lHeadCharts, ui->lHeadTests})
        MakeHeading(heading, arial);
    for (QWidget* rule : {ui->lHeadBodyRule, ui->lHeadChartsRule, ui->lHeadTestsRule})
        MakeRule(rule);
    ui->lVolume->setFont(PixelFont(arial, 16, true));
    for (QLabel* measure : {ui->lWidth, ui->lLength, ui->lDepth})
        measure->setFont(PixelFont(arial, 13, true));
    ui->lSel->setFont(PixelFont(arial, 11, true, true));
    ui->lSel->SetElidedAtEnd(true);
    for (QLabel* link :
         {ui->Label7, ui->Label8, ui->Label9, ui->Label10, ui->Label11, ui->Label12, ui->Label13, ui->Label14,
          ui->Label15, ui->Label16, ui->Label17, ui->Label18, ui->Label19, ui->Label20})
        link->setFont(PixelFont(arial, 11, false, true));

    for (int kind = 0; kind < kBodyPictureCount; ++kind)
        bodyimages.append(QIcon(BodyPicture(kind)));
    const std::pair<widgets::TZlSpeedButton*, TSpeedGlyph> speedButtons[] = {
        {ui->SpeedButton3, TSpeedGlyph::NewBody},
        {ui->SpeedButton1, TSpeedGlyph::NewBodyAndTest},
        {ui->SpeedButton2, TSpeedGlyph::EditBody}};
    for (const auto& [button, glyph] : speedButtons) {
        button->SetFlat(true);
        button->SetGlyph(SpeedButtonGlyph(glyph));
    }

    QPalette left = ui->panList->palette();
    left.setColor(QPalette::Window, Qt::blue);
    ui->panList->setPalette(left);
    QPalette right = ui->pan->palette();
    right.setColor(QPalette::Window, Qt::white);
    ui->pan->setPalette(right);
    QPalette header = ui->panListHeader->palette();
    header.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    ui->panListHeader->setPalette(header);
    ui->panListHeader->setAutoFillBackground(true);

    QPalette bodies = ui->BV->palette();
    bodies.setColor(QPalette::Base, Qt::cyan);
    ui->BV->setPalette(bodies);
    ui->BV->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->BV->setTextElideMode(Qt::ElideNone);
    ui->BV->setItemDelegate(new TFocusedLineDelegate(ui->BV));

    ui->lTests->setItemDelegate(new TTestLineDelegate(ui->lTests));
    ui->lTests->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->lTests->header()->setStretchLastSection(false);
    ui->lTests->setColumnWidth(0, kDateColumnWidth);
    ui->lTests->setColumnWidth(1, kTimeColumnWidth);

    for (int panel = 0; panel < 2; ++panel) {
        panels_[panel] = new QLabel(ui->BAR);
        panels_[panel]->setObjectName(QStringLiteral("BARPanel%1").arg(panel));
        panels_[panel]->setFixedWidth(kPanelWidths[panel]);
        ui->BAR->addWidget(panels_[panel]);
    }

    designPanSize_ = ui->pan->size();
    for (QWidget* child : ui->pan->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        designGeometry_[child] = child->geometry();

    BuildPopupMenus();
    ConnectHandlers();
    MakeNoDataFileNote();

    ui->Repairdata1->setEnabled(false);
    ui->Backupdata1->setEnabled(false);
    ui->Restoredta1->setEnabled(false);
    OpenRec(DataFilePath());
    RefreshBodies(0);
    RestorePosition();
    LoadBackground();
}

void TZELP::MakeNoDataFileNote() {
    // In the empty list's place, over it: clicks and the list's menu still reach the list.
    noDataFileNote_ = new QLabel(platform::FromCp1252(NoDataFileText()), ui->BV->viewport());
    noDataFileNote_->setObjectName(QStringLiteral("lNoDataFile"));
    noDataFileNote_->setWordWrap(true);
    noDataFileNote_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    noDataFileNote_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* place = new QVBoxLayout(ui->BV->viewport());
    place->setContentsMargins(6, 8, 6, 8);
    place->addWidget(noDataFileNote_);
    place->addStretch();
    noDataFileNote_->hide();
}

void TZELP::BuildPopupMenus() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ui->Showresults1);
    PopupMenu1->addAction(ui->Edittest1);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ui->Deletetest1);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->addAction(ui->EditbodyofWater2);
    PopupMenu2->addAction(ui->DeleteBodyofWater2);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(ui->New1);
    PopupMenu2->addAction(ui->NewBodyofWaterFirstWaterTest2);
}

void TZELP::ConnectHandlers() {
    const auto bind = [this](auto* sender, auto signal, void (TZELP::*handler)()) {
        connect(sender, signal, this, [this, handler] { (this->*handler)(); });
    };
    bind(ui->SpeedButton3, &widgets::TZlSpeedButton::OnClick, &TZELP::NewbodyofWater1Click);
    bind(ui->SpeedButton1, &widgets::TZlSpeedButton::OnClick, &TZELP::NewBodyTestClick);
    bind(ui->SpeedButton2, &widgets::TZlSpeedButton::OnClick, &TZELP::EditBodyClick);
    bind(ui->bNew, &QPushButton::clicked, &TZELP::NewBodyTestClick);
    bind(ui->bEdit, &QPushButton::clicked, &TZELP::EditBodyClick);
    bind(ui->bShow, &QPushButton::clicked, &TZELP::ShowResultClick);
    bind(ui->bNewTest, &QPushButton::clicked, &TZELP::bNewTestClick);
    bind(ui->bEditTest, &QPushButton::clicked, &TZELP::EditTestClick);
    bind(ui->bDelTest, &QPushButton::clicked, &TZELP::DeleteTestClick);
    bind(ui->lBody, &TClickLabel::clicked, &TZELP::EditBodyClick);
    bind(ui->lSel, &TClickLabel::clicked, &TZELP::EditTestClick);

    const std::pair<QAction*, void (TZELP::*)()> menuItems[] = {
        {ui->Setparameters1, &TZELP::Setparameters1Click},
        {ui->Repairdata1, &TZELP::Repairdata1Click},
        {ui->Backupdata1, &TZELP::Backupdata1Click},
        {ui->Restoredta1, &TZELP::Restoredta1Click},
        {ui->Exit1, &TZELP::Exit1Click},
        {ui->NewbodyofWater1, &TZELP::NewbodyofWater1Click},
        {ui->NewBodyofWaterFirstWaterTest1, &TZELP::NewBodyTestClick},
        {ui->EditBodyofWater1, &TZELP::EditBodyClick},
        {ui->DeleteBodyofWater1, &TZELP::DeleteBodyofWater1Click},
        {ui->Newwatertest1, &TZELP::bNewTestClick},
        {ui->Editwatertest1, &TZELP::EditTestClick},
        {ui->Deletewatertest1, &TZELP::DeleteTestClick},
        {ui->Showwatertestresults1, &TZELP::ShowResultClick},
        {ui->Index1, &TZELP::Index1Click},
        {ui->AboutBrinovaVesk1, &TZELP::AboutBrinovaVesk1Click},
        {ui->BrinovaVeskoninternet1, &TZELP::BrinovaVeskoninternet1Click},
        {ui->Showresults1, &TZELP::ShowResultClick},
        {ui->Edittest1, &TZELP::EditTestClick},
        {ui->Deletetest1, &TZELP::DeleteTestClick},
        {ui->EditbodyofWater2, &TZELP::EditBodyClick},
        {ui->DeleteBodyofWater2, &TZELP::DeleteBodyofWater1Click},
        {ui->New1, &TZELP::NewbodyofWater1Click},
        {ui->NewBodyofWaterFirstWaterTest2, &TZELP::NewBodyTestClick},
    };
    for (const auto& [item, handler] : menuItems)
        bind(item, &QAction::triggered, handler);

    for (TClickLabel* link : ui->pan->findChildren<TClickLabel*>())
        if (link->property("Tag").isValid()) connect(link, &TClickLabel::clicked, this, &TZELP::ChartClick);

    connect(ui->BV, &QListWidget::itemClicked, this, &TZELP::BVClick);
    connect(ui->lTests, &QTreeWidget::itemClicked, this, &TZELP::BVClick);
    connect(ui->BV, &QListWidget::itemDoubleClicked, this, [this] { EditBodyClick(); });
    connect(ui->lTests, &QTreeWidget::itemDoubleClicked, this, [this] { EditTestClick(); });
    connect(ui->BV, &QListWidget::itemSelectionChanged, this, &TZELP::BVSelectItem);
    connect(ui->lTests->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TZELP::lTestsSelectItem);
    ui->BV->installEventFilter(this);
    ui->lTests->installEventFilter(this);

    connect(PopupMenu1, &QMenu::aboutToShow, this, &TZELP::PopupMenu1Popup);
    const auto popupAt = [](QWidget* control, QMenu* menu) {
        connect(control, &QWidget::customContextMenuRequested, menu,
                [control, menu](const QPoint& at) { menu->popup(control->mapToGlobal(at)); });
    };
    ui->lTests->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->lSel->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->BV->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->lBody->setContextMenuPolicy(Qt::CustomContextMenu);
    popupAt(ui->lTests, PopupMenu1);
    popupAt(ui->lSel, PopupMenu1);
    popupAt(ui->BV, PopupMenu2);
    popupAt(ui->lBody, PopupMenu2);

    // The form sees F1 before its controls do.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { FormKeyDown(Qt::Key_F1); });
}

void TZELP::RestorePosition() {
    TFormBounds stored = LoadFormPosition(TFormBounds{kNoPosition, kNoPosition, width(), height()});
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableVirtualGeometry();
        stored = SizeHeldToArea(stored, {desktop.x(), desktop.y(), desktop.width(), desktop.height()});
    }
    resize(stored.width, stored.height);
    if (stored.left != kNoPosition && stored.top != kNoPosition) move(stored.left, stored.top);
}

void TZELP::LoadBackground() {
    // A missing or unreadable picture leaves the window without background, silently.
    QPixmap background;
    if (!background.load(QString::fromStdString(BackgroundBitmapPath()))) return;
    ui->Image1->setPixmap(background);
    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(ui->lTests), static_cast<QAbstractItemView*>(ui->BV)}) {
        QPalette palette = list->palette();
        palette.setBrush(QPalette::Base, QBrush(background));
        list->setPalette(palette);
    }
}

// ---- Window events ---------------------------------------------------------------------------

void TZELP::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TZELP::FormShow() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect desktop = screen->virtualGeometry();
    const TFormBounds current{x(), y(), width(), height()};
    const TFormBounds pulled =
        PulledBackPosition(current, {desktop.x(), desktop.y(), desktop.width(), desktop.height()});
    // The window is not framed yet: the frame goes there, with the whole title bar on the screen.
    if (pulled.left != current.left || pulled.top != current.top)
        MoveFrameTo(*this, {pulled.left, pulled.top});
}

void TZELP::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TZELP::FormActivate() {
    // Only the first activation offers the new body, and only over an open, empty data file:
    // a cancelled entry must not come straight back.
    if (activatedOnce_) return;
    activatedOnce_ = true;
    if (RecordFileblock() == nullptr || LiveRecordCount() >= 1) return;
    QTimer::singleShot(0, this, [this] { NewbodyofWater1Click(); });
}

void TZELP::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) FormClose();
}

void TZELP::FormClose() {
    if (closed_) return;
    closed_ = true;
    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(ui->lTests), static_cast<QAbstractItemView*>(ui->BV)}) {
        QPalette palette = list->palette();
        palette.setBrush(QPalette::Base, list == ui->BV ? QBrush(Qt::cyan) : QBrush(Qt::white));
        list->setPalette(palette);
    }
    CloseRec();
    SaveFormPosition(NormalBounds(*this, normalBounds_));
}

bool TZELP::FormKeyDown(int key) {
    if (key != Qt::Key_F1) return false;
    ShowHelpTopic(2);
    return true;
}

bool TZELP::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == ui->BV) {
                EditBodyClick(); // BVKeyPress
                return true;
            }
            if (watched == ui->lTests) {
                EditTestClick(); // lTestsKeyPress
                return true;
            }
        }
    } else if (event->type() == QEvent::Resize && watched == ui->lTests) {
        lTestsResize();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TZELP::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    KeepDistances();
    KeepNormalBounds();
}

void TZELP::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    KeepNormalBounds();
}

void TZELP::KeepNormalBounds() {
    // A window manager may frame a maximised window otherwise (without borders, say): its frame
    // offset then is not the normal window's. While it reparents the window the frame may be any
    // rectangle; one that does not hold the inside is not kept.
    if (!isVisible() ||
        (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) ||
        !frameGeometry().contains(geometry()))
        return;
    normalBounds_ = TFormBounds{x(), y(), width(), height()};
}

void TZELP::KeepDistances() {
    const QSize client = ui->centralwidget->size();
    ui->panList->setGeometry(0, 0, ui->panList->width(), client.height());
    // Inside the panel's border of 2: the header on top, the bodies below it.
    constexpr int border = 2;
    const int inside = ui->panList->width() - 2 * border;
    ui->panListHeader->setGeometry(border, border, inside, 31);
    ui->BV->setGeometry(border, border + 31, inside, client.height() - 2 * border - 31);
    ui->pan->setGeometry(ui->panList->width(), 0, client.width() - ui->panList->width(), client.height());

    const int dx = ui->pan->width() - designPanSize_.width();
    const int dy = ui->pan->height() - designPanSize_.height();
    for (const auto& [control, design] : designGeometry_) {
        QRect place = design;
        const QString name = control->objectName();
        if (control == ui->Image1) {
            place = ui->pan->rect();
        } else if (control == ui->lTests) {
            place.setSize(design.size() + QSize(dx, dy));
        } else if (name.endsWith(QStringLiteral("Rule")) && design.x() < 100) {
            place.setWidth(design.width() + dx); // the rules under the full-width headings
        } else if (control == ui->lSel) {
            // Keeps to the right edge and, as a right-aligned caption, takes the room a wider
            // window gives on its left, up to where it stands at the design size.
            place.setWidth(design.width() + dx);
        } else if (design.x() >= 250) {
            place.moveLeft(design.x() + dx); // buttons and chart links keep to the right edge
        }
        control->setGeometry(place);
    }
    FitSelectedTestCaption();
}

// ---- Lists -----------------------------------------------------------------------------------

std::int32_t TZELP::SelectedBodyNr() const {
    const QList<QListWidgetItem*> selected = ui->BV->selectedItems();
    return selected.isEmpty() ? -1 : RecordOf(selected.first()->data(kRecordRole));
}

std::int32_t TZELP::SelectedTestNr() const {
    const QList<QTreeWidgetItem*> selected = ui->lTests->selectedItems();
    return selected.isEmpty() ? -1 : RecordOf(selected.first()->data(0, kRecordRole));
}

QString TZELP::PanelText(int panel) const {
    return panel >= 0 && panel < 2 ? panels_[panel]->text() : QString();
}

void TZELP::SetPanel(int panel, const QString& text) {
    panels_[panel]->setText(text);
}

void TZELP::ClearBodyDetails() {
    for (QLabel* label :
         {static_cast<QLabel*>(ui->lBody), ui->lVolume, ui->lWidth, ui->lLength, ui->lDepth, ui->lBodyNote})
        label->clear();
}

QListWidgetItem* TZELP::RefreshBodies(std::int32_t wanted) {
    ClearBodyDetails();
    {
        const QSignalBlocker quiet(ui->lTests->selectionModel());
        ui->lTests->clear();
        testList_.clear();
    }
    SetPanel(1, QStringLiteral("Tests: 0"));
    QListWidgetItem* wantedItem = nullptr;
    {
        const QSignalBlocker quiet(ui->BV);
        ui->BV->clear();
        bodyList_.clear();
        if (RecordFileblock()) ListBodies(bodyList_);
        // A list that failed may have closed the file; the note tells the lists' emptiness apart.
        noDataFileNote_->setVisible(RecordFileblock() == nullptr);
        SetPanel(0, QStringLiteral("Bodies: %1").arg(bodyList_.size()));
        TStoredRecord stored;
        int running = 0;
        for (const TRecItem& entry : bodyList_) {
            // A failed read has shown its box; the list ends there.
            if (!GetRec(entry.recordNumber, stored)) break;
            const int picture = BodyPictureIndex(stored.body.kind);
            auto* item =
                new QListWidgetItem(platform::FromCp1252(BodyItemCaption(++running, stored.body.kind)));
            item->setData(kRecordRole, entry.recordNumber);
            item->setData(kImageIndexRole, picture);
            item->setIcon(bodyimages.value(picture));
            ui->BV->addItem(item);
            if (entry.recordNumber == wanted) wantedItem = item;
        }
        if (ui->BV->count() > 0) {
            QListWidgetItem* chosen = wantedItem ? wantedItem : ui->BV->item(0);
            ui->BV->setCurrentItem(chosen);
            chosen->setSelected(true);
        }
    }
    if (ui->BV->count() > 0) RefreshTests(SelectedBodyNr());
    UpdateCommandStates();
    return wantedItem;
}

void TZELP::RefreshTests(std::int32_t body) {
    {
        const QSignalBlocker quiet(ui->lTests->selectionModel());
        ui->lTests->clear();
        testList_.clear();
    }
    // Without an open data file there is nothing to list: its OpenRec box said why.
    if (body > 0 && RecordFileblock()) {
        ShowBodyDetails(body);
        ListTests(body, testList_);
    }
    SetPanel(1, QStringLiteral("Tests: %1").arg(testList_.size()));
    const platform::FormatSettings settings = platform::WindowsFormatSettings();
    TStoredRecord stored;
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(testList_.size()));
    for (const TRecItem& entry : testList_) {
        // A failed read has shown its box; that test is left out, the others still shown.
        if (!GetRec(entry.recordNumber, stored)) continue;
        auto* item = new QTreeWidgetItem(
            QStringList{platform::FormatDateTime(settings.shortDateFormat, stored.test.date, settings),
                        platform::FormatDateTime(settings.longTimeFormat, stored.test.time, settings),
                        platform::FromCp1252(OneLineText(stored.test.testNote))});
        item->setData(0, kRecordRole, entry.recordNumber);
        items.append(item);
    }
    {
        const QSignalBlocker quiet(ui->lTests->selectionModel());
        ui->lTests->addTopLevelItems(items);
    }
    if (ui->lTests->topLevelItemCount() > 0) {
        QTreeWidgetItem* first = ui->lTests->topLevelItem(0);
        ui->lTests->setCurrentItem(first);
        first->setSelected(true);
    } else {
        // The caption named a line of the list as it was: a deleted test, another body's.
        ui->lSel->setText(NoSelectedTestCaption());
        FitSelectedTestCaption();
    }
    UpdateCommandStates();
}

void TZELP::ShowBodyDetails(std::int32_t body) {
    TStoredRecord stored;
    if (!GetRec(body, stored)) return;
    const TBodyData& data = stored.body;
    const char separator = platform::DecimalSeparatorByte();
    const auto measure = [&](long double value, const std::string& unit) {
        const std::string text = MeasureText(value, separator);
        return text.empty() ? QString() : platform::FromCp1252(text + " " + unit);
    };
    ui->lBody->setText(platform::FromCp1252(BodyTypeName(data.kind)));
    ui->lVolume->setText(measure(data.volume, VolumeUnitName(data.volumeUnit)));
    ui->lWidth->setText(measure(data.width, LengthUnitName(data.lengthUnit)));
    ui->lLength->setText(measure(data.length, LengthUnitName(data.lengthUnit)));
    ui->lDepth->setText(measure(data.depth, LengthUnitName(data.lengthUnit)));
    ui->lBodyNote->setText(platform::FromCp1252(data.note));
}

void TZELP::UpdateCommandStates() {
    const TCommandStates states = CommandStatesFor(SelectedBodyNr(), SelectedTestNr());
    ui->bEdit->setEnabled(states.bodyCommands);
    ui->bNewTest->setEnabled(ui->bEdit->isEnabled());
    ui->bShow->setEnabled(states.testCommands);
    ui->bEditTest->setEnabled(ui->bShow->isEnabled());
    ui->bDelTest->setEnabled(ui->bShow->isEnabled());
    ui->SpeedButton2->setEnabled(ui->bEdit->isEnabled());
    for (QAction* item :
         {ui->EditBodyofWater1, ui->EditbodyofWater2, ui->DeleteBodyofWater1, ui->DeleteBodyofWater2})
        item->setEnabled(ui->bEdit->isEnabled());
    ui->Newwatertest1->setEnabled(ui->bNewTest->isEnabled());
    ui->Editwatertest1->setEnabled(ui->bEditTest->isEnabled());
    ui->Deletewatertest1->setEnabled(ui->bDelTest->isEnabled());
    ui->Showwatertestresults1->setEnabled(ui->bShow->isEnabled());
    if (!states.keepsSelectedTestCaption) ui->lSel->clear();
    // The window shows the new states before the handler returns; the event loop is not entered.
    if (isVisible()) repaint();
}

void TZELP::PopupMenu1Popup() {
    ui->Showresults1->setEnabled(ui->bShow->isEnabled());
    ui->Edittest1->setEnabled(ui->bEditTest->isEnabled());
    ui->Deletetest1->setEnabled(ui->bDelTest->isEnabled());
}

void TZELP::lTestsSelectItem(const QItemSelection& selected, const QItemSelection& deselected) {
    // Selection and deselection alike name their line.
    const QModelIndexList indexes = selected.isEmpty() ? deselected.indexes() : selected.indexes();
    if (indexes.isEmpty()) return;
    QTreeWidgetItem* item = ui->lTests->topLevelItem(indexes.first().row());
    if (!item) return;
    ui->lSel->setText(SelectedTestCaption(item->text(0), item->text(1), item->text(2)));
    FitSelectedTestCaption();
    // A line deselected without a click on one (an empty place, the keyboard) leaves no test.
    if (selected.isEmpty()) UpdateCommandStates();
}

void TZELP::FitSelectedTestCaption() {
    // Right-aligned while the whole caption fits; a longer one shows from its first letter and
    // ends in "…" (its hint then holds it whole), never cut at its start.
    const bool cut = ui->lSel->TextIsCut();
    ui->lSel->setAlignment((cut ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
}

void TZELP::lTestsResize() {
    const int scrollBar = ui->lTests->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ui->lTests);
    ui->lTests->setColumnWidth(2, NoteColumnWidth(ui->lTests->width(), ui->lTests->columnWidth(0),
                                                  ui->lTests->columnWidth(1), scrollBar));
}

void TZELP::BVClick() {
    UpdateCommandStates();
}

void TZELP::BVSelectItem() {
    RefreshTests(SelectedBodyNr());
}

void TZELP::ChartClick() {
    const auto* link = qobject_cast<const QLabel*>(sender());
    if (!link) return;
    ShowChart(testList_, link->property("Tag").toInt(),
              ui->lBody->text() + QStringLiteral(", ") + ui->lVolume->text(), link->text());
}
