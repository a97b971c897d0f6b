#pragma once

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

// Pictures of windows for a person to compare with the design. They are taken only when
// ZEL_SCREENSHOTS names a folder; every window test uses this one switch.
namespace test {

inline QString ScreenshotFolder() {
    return QString::fromLocal8Bit(qgetenv("ZEL_SCREENSHOTS"));
}

// Saves the widget as it draws now as <name>.png in that folder; false when no pictures were
// asked for or the save failed.
inline bool SaveScreenshot(QWidget& widget, const QString& name) {
    const QString folder = ScreenshotFolder();
    if (folder.isEmpty()) return false;
    QDir().mkpath(folder);
    return widget.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}

// Saves a picture already taken (for example from the screen) the same way.
inline bool SaveScreenshot(const QImage& picture, const QString& name) {
    const QString folder = ScreenshotFolder();
    if (folder.isEmpty()) return false;
    QDir().mkpath(folder);
    return picture.save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}

} // namespace test
