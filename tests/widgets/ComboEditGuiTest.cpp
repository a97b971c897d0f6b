#include "widgets/ComboEdit.h"

#include "widgets/ComboEditText.h"
#include "widgets/ComboGlyphs.h"

#include "FixedPalette.h"
#include "support/Screenshots.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgets;

namespace {

// A popup whose value the test sets; it records what the edit loads into it.
class ValuePopup : public TPopupWindow {
public:
    using TPopupWindow::TPopupWindow;
    QVariant ReadPopupValue() override { return value; }
    void WritePopupValue(const QVariant& v) override {
        written = v;
        ++writes;
    }
    QVariant value;
    QVariant written;
    int writes = 0;
};

class ComboWithPopup : public TCustomComboEdit {
public:
    explicit ComboWithPopup(QWidget* parent) : TCustomComboEdit(parent) {
        popup = new ValuePopup(this);
        popup->resize(120, 80);
        SetPopup(popup);
    }
    ValuePopup* popup;
};

// A dialog with the combo edit, a second edit and a default button; the combo edit has the focus.
struct ComboOnDialog : ::testing::Test {
    QDialog dialog;
    ComboWithPopup* combo = new ComboWithPopup(&dialog);
    QLineEdit* other = new QLineEdit(&dialog);
    QPushButton* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    std::unique_ptr<QSignalSpy> changes;
    std::unique_ptr<QSignalSpy> defaults;

    void SetUp() override {
        dialog.setGeometry(100, 100, 300, 200);
        combo->setGeometry(10, 10, 150, 21);
        other->setGeometry(10, 60, 150, 21);
        ok->setGeometry(10, 120, 80, 25);
        ok->setDefault(true);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        combo->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(combo->hasFocus());
        changes = std::make_unique<QSignalSpy>(combo, &TCustomComboEdit::OnChange);
        defaults = std::make_unique<QSignalSpy>(ok, &QPushButton::clicked);
    }

    void Open() {
        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(combo->PopupShowing());
    }
};

TEST_F(ComboOnDialog, AltDownOpensWhileTheEditKeepsTheFocusReadOnly) {
    combo->SetText(QStringLiteral("abc"));
    changes->clear();
    Open();
    EXPECT_TRUE(combo->popup->isVisible());
    EXPECT_TRUE(combo->hasFocus());
    EXPECT_EQ(QApplication::activeWindow(), &dialog) << "the popup never becomes active";
    EXPECT_TRUE(combo->isReadOnly()) << "the window takes no typing while open";
    EXPECT_FALSE(combo->ReadOnly()) << "the published ReadOnly stays false";
    EXPECT_EQ(combo->popup->written, QVariant(QStringLiteral("abc")));
    // Below the edit, its right edge on the edit's.
    const QPoint editOrigin = combo->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(combo->popup->pos(), QPoint(editOrigin.x() + 150 - 120, editOrigin.y() + 21));

    QTest::keyClicks(combo, QStringLiteral("x"));
    EXPECT_EQ(combo->Text(), QStringLiteral("abc"));

    combo->popup->value = QStringLiteral("picked");
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_FALSE(combo->popup->isVisible());
    EXPECT_EQ(combo->Text(), QStringLiteral("picked"));
    EXPECT_FALSE(combo->isReadOnly());
    EXPECT_EQ(changes->count(), 1);
}

TEST_F(ComboOnDialog, AnEmptyEditOpensThePopupOnNull) {
    Open();
    EXPECT_EQ(combo->popup->writes, 1);
    EXPECT_FALSE(combo->popup->written.isValid());
}

TEST_F(ComboOnDialog, EnterAcceptsEscDiscardsAndNeitherReachesTheDialogWhileOpen) {
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    combo->SetText(QStringLiteral("old"));
    changes->clear();
    combo->popup->value = QStringLiteral("new");

    Open();
    QTest::keyClick(combo, Qt::Key_Escape);
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_EQ(combo->Text(), QStringLiteral("old"));
    EXPECT_EQ(rejected.count(), 0);

    Open();
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_EQ(combo->Text(), QStringLiteral("new"));
    EXPECT_EQ(changes->count(), 1);
    EXPECT_EQ(defaults->count(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ComboOnDialog, EnterAndEscWithThePopupClosedGoOnToTheDialog) {
    std::vector<QChar> pressed;
    QObject::connect(combo, &TCustomComboEdit::OnKeyPress, combo,
                     [&](QChar& key) { pressed.push_back(key); });
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(defaults->count(), 1);
    ASSERT_EQ(pressed.size(), 1u);
    EXPECT_EQ(pressed[0], u'\r');

    dialog.show();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::keyClick(combo, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
}

TEST_F(ComboOnDialog, AClickOutsideDiscards) {
    combo->popup->value = QStringLiteral("new");
    Open();
    QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_FALSE(combo->popup->isVisible());
    EXPECT_EQ(combo->Text(), QString());
    EXPECT_EQ(changes->count(), 0);
}

TEST_F(ComboOnDialog, AClickInTheEditDiscardsAReleaseInThePopupAccepts) {
    combo->popup->value = QStringLiteral("new");
    Open();
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_EQ(combo->Text(), QString());

    Open();
    QTest::mouseClick(combo->popup, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_EQ(combo->Text(), QStringLiteral("new"));
}

TEST_F(ComboOnDialog, TheButtonOpensAndItsPressWhileOpenClosesWithoutReopening) {
    QSignalSpy buttonClicks(combo, &TCustomComboEdit::OnButtonClick);
    TEditButton* button = combo->DropButton();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(combo->PopupShowing());
    EXPECT_TRUE(combo->hasFocus());
    EXPECT_EQ(buttonClicks.count(), 1);

    combo->popup->value = QStringLiteral("new");
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_FALSE(combo->popup->isVisible());
    EXPECT_EQ(combo->Text(), QStringLiteral("new"));
    EXPECT_EQ(buttonClicks.count(), 1) << "the click of the closing press is eaten";

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(combo->PopupShowing()) << "the next click opens again";
}

TEST_F(ComboOnDialog, OnChangeOnlyOnARealChange) {
    combo->SetText(QStringLiteral("same"));
    EXPECT_EQ(changes->count(), 1);
    combo->popup->value = QStringLiteral("same");
    Open();
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(changes->count(), 1);
    EXPECT_FALSE(combo->isModified());
    QTest::keyClicks(combo, QStringLiteral("x"));
    EXPECT_EQ(changes->count(), 2);
}

TEST_F(ComboOnDialog, LosingTheFocusDiscards) {
    combo->popup->value = QStringLiteral("new");
    Open();
    other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_FALSE(combo->HasFocus());
    EXPECT_EQ(combo->Text(), QString());
}

TEST_F(ComboOnDialog, AReadOnlyEditNeitherOpensNorTakesAValue) {
    combo->SetReadOnly(true);
    EXPECT_TRUE(combo->isReadOnly());
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    QTest::mouseClick(combo->DropButton(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(combo->PopupShowing());

    combo->SetReadOnly(false);
    combo->popup->value = QStringLiteral("new");
    Open();
    combo->SetReadOnly(true);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(combo->PopupShowing());
    EXPECT_EQ(combo->Text(), QString());
    EXPECT_TRUE(combo->isReadOnly());
}

TEST_F(ComboOnDialog, WithoutDirectInputTheButtonStillWorks) {
    combo->SetText(QStringLiteral("old"));
    combo->SetDirectInput(false);
    QTest::keyClicks(combo, QStringLiteral("typed"));
    EXPECT_EQ(combo->Text(), QStringLiteral("old"));
    QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(combo->hasSelectedText());
    combo->popup->value = QStringLiteral("new");
    Open();
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(combo->Text(), QStringLiteral("new"));
    EXPECT_TRUE(combo->isReadOnly());
    EXPECT_FALSE(combo->hasSelectedText()) << "select-all needs direct input";
}

TEST_F(ComboOnDialog, ButtonWidthZeroDisablesTheClickKey) {
    combo->SetButtonWidth(0);
    EXPECT_FALSE(combo->ButtonHolder()->isVisible());
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(combo->PopupShowing());
    combo->SetButtonWidth(500); // not below the client width: ignored
    EXPECT_EQ(combo->ButtonWidth(), 0);
    combo->SetButtonWidth(30);
    EXPECT_EQ(combo->DropButton()->width(), 30);
    EXPECT_TRUE(combo->ButtonHolder()->isVisible());
}

TEST_F(ComboOnDialog, TypingAndPastingKeepToMaxLengthProgramTextDoesNot) {
    combo->SetMaxLength(4);
    QTest::keyClicks(combo, QStringLiteral("123456"));
    EXPECT_EQ(combo->Text(), QStringLiteral("1234"));
    combo->SetText(QStringLiteral("abcdefgh"));
    EXPECT_EQ(combo->Text(), QStringLiteral("abcdefgh"));
    combo->SetText(QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral("xyz"));
    combo->end(false);
    QTest::keyClick(combo, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(combo->Text(), QStringLiteral("abxy"));
}

enum class PastePath { Menu, CtrlV, ShiftInsert, Drop };

// The Paste entry of the edit's context menu, found as a user finds it: by its caption.
QAction* OpenMenuPaste(QLineEdit* edit) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit, &event);
    const QList<QMenu*> menus = edit->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    if (menus.isEmpty()) return nullptr;
    for (QAction* action : menus.last()->actions())
        if (action->text().startsWith(QStringLiteral("&Paste"))) return action;
    return nullptr;
}

void CloseMenus(QLineEdit* edit) {
    for (QMenu* menu : edit->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        menu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Pastes the clipboard's text by one path, at the end of the text.
void PasteBy(PastePath path, QLineEdit* edit) {
    edit->end(false);
    switch (path) {
    case PastePath::Menu:
        if (QAction* paste = OpenMenuPaste(edit); paste && paste->isEnabled()) paste->trigger();
        CloseMenus(edit);
        break;
    case PastePath::CtrlV:
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case PastePath::ShiftInsert:
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case PastePath::Drop: {
        QMimeData mime;
        mime.setText(QApplication::clipboard()->text());
        const QPoint at(edit->width() - 30, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(edit, &enter);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(edit, &drop);
        break;
    }
    }
}

TEST_F(ComboOnDialog, EveryPastePathKeepsToMaxLengthAndDirectInput) {
    combo->SetMaxLength(4);
    QApplication::clipboard()->setText(QStringLiteral("xyz"));
    for (const bool programPasteShortcut : {false, true}) {
        // A program shortcut on the paste keys takes them out of the menu's caption.
        QAction programPaste(QStringLiteral("Paste"));
        if (programPasteShortcut) {
            programPaste.setShortcut(QKeySequence::Paste);
            dialog.addAction(&programPaste);
        }
        for (const PastePath path :
             {PastePath::Menu, PastePath::CtrlV, PastePath::ShiftInsert, PastePath::Drop}) {
            SCOPED_TRACE(::testing::Message()
                         << "path " << int(path) << ", program shortcut " << programPasteShortcut);
            combo->SetText(QStringLiteral("ab"));
            PasteBy(path, combo);
            EXPECT_EQ(combo->Text(), QStringLiteral("abxy"));

            combo->SetText(QStringLiteral("ab"));
            combo->SetReadOnly(true);
            PasteBy(path, combo);
            EXPECT_EQ(combo->Text(), QStringLiteral("ab"));
            combo->SetReadOnly(false);

            combo->SetDirectInput(false);
            PasteBy(path, combo);
            EXPECT_EQ(combo->Text(), QStringLiteral("ab"));
            combo->SetDirectInput(true);
        }
        dialog.removeAction(&programPaste);
    }
}

TEST_F(ComboOnDialog, TheMenuOffersPasteOnlyWithDirectInput) {
    QApplication::clipboard()->setText(QStringLiteral("xyz"));
    QAction* paste = OpenMenuPaste(combo);
    ASSERT_NE(paste, nullptr);
    EXPECT_TRUE(paste->isEnabled());
    CloseMenus(combo);
    combo->SetDirectInput(false);
    paste = OpenMenuPaste(combo);
    EXPECT_TRUE(paste == nullptr || !paste->isEnabled());
    CloseMenus(combo);
}

TEST_F(ComboOnDialog, TheMiddleButtonPastesTheSelectionWithinTheLimit) {
    if (!QApplication::clipboard()->supportsSelection()) GTEST_SKIP() << "no X11 selection on this platform";
    combo->SetMaxLength(4);
    combo->SetText(QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral("xyz"), QClipboard::Selection);
    QTest::mouseClick(combo, Qt::MiddleButton, {}, QPoint(combo->width() - 30, 10));
    EXPECT_EQ(combo->Text(), QStringLiteral("abxy"));
    combo->SetDirectInput(false);
    QTest::mouseClick(combo, Qt::MiddleButton, {}, QPoint(combo->width() - 30, 10));
    EXPECT_EQ(combo->Text(), QStringLiteral("abxy"));
}

TEST_F(ComboOnDialog, AMaskedEditShowsItsBlanks) {
    combo->SetEditMask(QStringLiteral("!99/99/9999;1; "));
    EXPECT_EQ(combo->Text(), QStringLiteral("  /  /    "));
    combo->SetText(QStringLiteral("05/03/2026"));
    EXPECT_EQ(combo->Text(), QStringLiteral("05/03/2026"));
    combo->popup->value = QStringLiteral("06/04/2027");
    Open();
    EXPECT_EQ(combo->popup->written, QVariant(QStringLiteral("05/03/2026")));
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(combo->Text(), QStringLiteral("06/04/2027"));
}

TEST_F(ComboOnDialog, ThePopupStaysOnTheEditsScreen) {
    const QRect screen = combo->screen()->geometry();
    combo->popup->resize(200, 80); // wider than the edit
    // Near the bottom: above the edit, flush with its top.
    dialog.move(screen.left() + 10, screen.bottom() - 60);
    QApplication::processEvents();
    Open();
    const QPoint origin = combo->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(combo->popup->y(), origin.y() - 80);
    QTest::keyClick(combo, Qt::Key_Escape);

    // Near the left edge with epaRight, a popup wider than the edit keeps its left edge at the edit's.
    dialog.move(screen.left(), screen.top() + 50);
    QApplication::processEvents();
    Open();
    EXPECT_EQ(combo->popup->x(), combo->mapToGlobal(QPoint(0, 0)).x());
    QTest::keyClick(combo, Qt::Key_Escape);

    // epaLeft near the right edge: moved left, never off the screen.
    combo->SetPopupAlign(epaLeft);
    dialog.move(screen.right() - 170, screen.top() + 50);
    QApplication::processEvents();
    Open();
    EXPECT_EQ(combo->popup->x() + 200, combo->mapToGlobal(QPoint(0, 0)).x() + 150) << "right edges lined up";
    QTest::keyClick(combo, Qt::Key_Escape);
    dialog.move(screen.right() - 60, screen.top() + 50);
    QApplication::processEvents();
    Open();
    EXPECT_EQ(combo->popup->x() + 200, screen.right() + 1) << "clamped to the screen";
}

TEST_F(ComboOnDialog, APopupTallerThanTheRoomAboveStaysOnTheScreen) {
    const QRect screen = combo->screen()->geometry();
    combo->popup->resize(120, screen.height() - 20);
    dialog.move(screen.left() + 10, screen.top() + 100);
    QApplication::processEvents();
    Open();
    EXPECT_EQ(combo->popup->y(), screen.top());
}

TEST(ComboEdit, GlyphKindsAndTheEllipsis) {
    TCustomComboEdit combo;
    combo.resize(150, 21);
    combo.SetGlyphKind(gkDropDown);
    EXPECT_EQ(combo.ButtonWidth(), combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &combo));
    EXPECT_FALSE(combo.Glyph().Empty());
    combo.SetButtonWidth(21);
    combo.SetGlyphKind(gkEllipsis);
    EXPECT_EQ(combo.Glyph().Width(), 15);
    combo.SetNumGlyphs(3);
    EXPECT_EQ(combo.NumGlyphs(), 1) << "the ellipsis keeps one image";

    const TBitmap dots = MakeEllipsisGlyph(21);
    ASSERT_EQ(dots.Width(), 15);
    ASSERT_EQ(dots.Height(), 4);
    QString row1, row0;
    for (int x = 0; x < 15; ++x) {
        row0 += dots.Pixel(x, 0) == clBlack ? u'#' : u'.';
        row1 += dots.Pixel(x, 1) == clBlack ? u'#' : u'.';
    }
    EXPECT_EQ(row0, QStringLiteral("..............."));
    EXPECT_EQ(row1, QStringLiteral(".##...##...##.."));
    EXPECT_EQ(MakeEllipsisGlyph(3).Width(), 1);

    TBitmap custom(QImage(16, 16, QImage::Format_RGB32));
    combo.SetGlyph(custom);
    EXPECT_EQ(combo.GlyphKind(), gkCustom);
    combo.SetNumGlyphs(2);
    EXPECT_EQ(combo.NumGlyphs(), 2);
}

TEST(ComboEdit, CannotBeLowerThanItsTextHeight) {
    TCustomComboEdit combo;
    QFont font = combo.font();
    font.setPixelSize(8);
    combo.setFont(font);
    combo.resize(150, 5);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    EXPECT_EQ(combo.height(), FontTextHeight(&combo) + 5);
    combo.resize(150, 40);
    EXPECT_EQ(combo.height(), 40);
    EXPECT_EQ(combo.ButtonHolder()->geometry().right(), combo.width() - 3);
}

} // namespace

namespace {

TEST_F(ComboOnDialog, Screenshot) {
    combo->SetGlyphKind(gkEllipsis);
    combo->SetText(QStringLiteral("05/03/2026"));
    test::SaveScreenshot(dialog, "ComboEdit");
    test::SaveScreenshot(*combo->popup, "ComboPopup");
    EXPECT_FALSE(dialog.grab().isNull());
}

TEST(ComboEdit, TheButtonsLeftEdgeJoinsTheEditUnlessPressed) {
    TCustomComboEdit combo;
    combo.setPalette(fixed::Palette());
    combo.setGeometry(0, 0, 150, 21);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    TEditButton* button = combo.DropButton();
    QImage face = button->grab().toImage();
    const int h = face.height();
    EXPECT_EQ(face.pixel(0, 0), fixed::kFace);
    EXPECT_EQ(face.pixel(0, h - 2), fixed::kFace);
    EXPECT_EQ(face.pixel(1, 1), fixed::kHighlight);
    EXPECT_EQ(face.pixel(1, h - 3), fixed::kHighlight);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    face = button->grab().toImage();
    EXPECT_EQ(face.pixel(0, 0), fixed::kFrame) << "pressed: the bevel shows";
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
}

TEST(ComboEdit, AlignedTextSitsBesideTheButton) {
    TCustomComboEdit combo;
    combo.setGeometry(0, 0, 150, 21);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    const auto leftmostInk = [&](TAlignment alignment) {
        QImage image(combo.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter canvas(&image);
        EXPECT_TRUE(PaintAlignedText(&combo, canvas, QStringLiteral("12.5"), alignment, false));
        canvas.end();
        const QRgb back = image.pixel(combo.width() / 2, 3);
        for (int x = 3; x < combo.width(); ++x)
            for (int y = 3; y < combo.height() - 3; ++y)
                if (image.pixel(x, y) != back) return x;
        return -1;
    };
    const int left = leftmostInk(taLeftJustify);
    const int centre = leftmostInk(taCenter);
    const int right = leftmostInk(taRightJustify);
    EXPECT_LT(left, centre);
    EXPECT_LT(centre, right);
    const int textWidth = combo.fontMetrics().horizontalAdvance(QStringLiteral("12.5"));
    EXPECT_LT(right + textWidth, combo.width() - combo.ButtonWidth()) << "clear of the button";
    QImage image(combo.size(), QImage::Format_RGB32);
    QPainter canvas(&image);
    EXPECT_FALSE(PaintAlignedText(&combo, canvas, QStringLiteral("1"), taRightJustify, true));
}

} // namespace
