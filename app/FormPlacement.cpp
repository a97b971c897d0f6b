#include "app/FormPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

QRect DesktopOf(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Once the window manager has framed the form, centres it again if its frame came out of
// another size than the owner's decorations gave; then goes.
class TRecentreOnFrame final : public QObject {
public:
    TRecentreOnFrame(QWidget& form, QWidget& owner) : QObject(&form), form_(&form), owner_(&owner) {
        form.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == form_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) Check();
        return false;
    }

private:
    void Check() {
        if (!form_ || !owner_) return Done();
        // Until the window manager has framed the form the frame is its inside alone, and while
        // it reparents it the frame may be any rectangle, even one smaller than the inside.
        const QRect frame = form_->frameGeometry();
        if (frame == form_->geometry() || !frame.contains(form_->geometry())) return;
        const QPoint wanted = CentredFramePosition(owner_->frameGeometry(), frame.size(), DesktopOf(*owner_));
        if (frame.topLeft() != wanted) MoveFrameTo(*form_, wanted);
        Done();
    }
    void Done() {
        if (form_) form_->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> form_;
    QPointer<QWidget> owner_;
};

} // namespace

QPoint CentredFramePosition(const QRect& ownerFrame, const QSize& frameSize, const QRect& desktop) {
    int left = ownerFrame.x() + (ownerFrame.width() - frameSize.width()) / 2;
    int top = ownerFrame.y() + (ownerFrame.height() - frameSize.height()) / 2;
    if (desktop.isValid()) {
        left = std::max(std::min(left, desktop.x() + desktop.width() - frameSize.width()), desktop.x());
        top = std::max(std::min(top, desktop.y() + desktop.height() - frameSize.height()), desktop.y());
    }
    return {left, top};
}

void MoveFrameTo(QWidget& window, const QPoint& position) {
    // Before the window exists, move() places its frame. Once it exists but is not framed yet,
    // move() would place its inside there; its window then takes the position as the frame's.
    // The widget keeps the same position, so that showing it does not put the window back.
    window.move(position);
    if (QWindow* handle = window.windowHandle()) handle->setFramePosition(position);
}

void CentreOnOwnerWindow(QWidget& form) {
    QWidget* owner = form.parentWidget() ? form.parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) return;
    const QRect ownerFrame = owner->frameGeometry();
    const QRect ownerInside = owner->geometry();
    const QMargins decorations(ownerInside.left() - ownerFrame.left(), ownerInside.top() - ownerFrame.top(),
                               ownerFrame.right() - ownerInside.right(),
                               ownerFrame.bottom() - ownerInside.bottom());
    MoveFrameTo(form, CentredFramePosition(ownerFrame, form.size().grownBy(decorations), DesktopOf(*owner)));
    // Without decorations on the owner nobody frames windows here: the form stands right.
    if (!decorations.isNull()) new TRecentreOnFrame(form, *owner);
}
