#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where the program's windows stand on the screen, frames (title bars and borders) included.

// The top left of a frame of `frameSize` centred on `ownerFrame`, then moved into `desktop`
// as far as it fits there: its top and left edges last, so that a title bar never leaves the
// screen.
QPoint CentredFramePosition(const QRect& ownerFrame, const QSize& frameSize, const QRect& desktop);

// Puts the window's frame at `position`, also when the window system has not framed the
// window yet: the window manager then places the frame there, not the window's inside.
void MoveFrameTo(QWidget& window, const QPoint& position);

// Centres the form's frame on the frame of the window that owns it; call it as the form is
// shown, with its size final. A form not framed yet is taken to get the owner's decorations;
// when the window manager frames it otherwise, it is centred once more as soon as its frame is
// known. A form without an owner stays where it is.
void CentreOnOwnerWindow(QWidget& form);
