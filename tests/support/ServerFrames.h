#pragma once

#include <QRect>
#include <QString>

class QWidget;

// What the X server shows of a window: its frame as the window manager drew it, and the
// whole screen. Off X (the offscreen platform) Qt's own idea of the frame stands in.
namespace test {

// True when the case runs on an X server with a window manager on it (the launcher's
// ZEL_WINDOW_MANAGER, see tests/support/own-display.sh).
bool UnderWindowManager();

// The window's frame in screen coordinates as the server has it: the window the manager put
// it in (its ancestor right below the root), borders included; the window itself when
// nothing frames it.
QRect ServerFrame(const QWidget& window);
// The inside of the window in screen coordinates as the server has it.
QRect ServerInside(const QWidget& window);

// Waits until the window is shown and, under a window manager, framed, with Qt's frame the
// server's; false when that does not come within `timeoutMs`.
bool WaitForFrame(QWidget& window, int timeoutMs = 5000);

// Saves the whole screen as it shows now, frames included, as <name>.png in ZEL_SCREENSHOTS;
// false when no pictures were asked for or the save failed.
bool SaveScreenScreenshot(const QString& name);

} // namespace test
