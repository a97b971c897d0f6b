#include "ServerFrames.h"

#include "Screenshots.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace test {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The outer rectangle of an X window in root coordinates, its border included.
QRect OuterRect(xcb_connection_t* connection, xcb_window_t window, xcb_window_t root) {
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    const Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr));
    if (!geometry || !origin) return QRect();
    const int border = geometry->border_width;
    return QRect(origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
                 geometry->height + 2 * border);
}

} // namespace

bool UnderWindowManager() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           !qgetenv("ZEL_WINDOW_MANAGER").isEmpty();
}

QRect ServerFrame(const QWidget& window) {
    xcb_connection_t* connection = Connection();
    if (!connection) return window.frameGeometry();
    xcb_window_t current = static_cast<xcb_window_t>(window.winId());
    xcb_window_t root = XCB_NONE;
    for (;;) {
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, current), nullptr));
        if (!tree) return QRect();
        root = tree->root;
        if (tree->parent == root || tree->parent == XCB_NONE) break;
        current = tree->parent;
    }
    return OuterRect(connection, current, root);
}

QRect ServerInside(const QWidget& window) {
    xcb_connection_t* connection = Connection();
    if (!connection) return window.geometry();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr));
    if (!tree) return QRect();
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr));
    const Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, id, tree->root, 0, 0), nullptr));
    if (!geometry || !origin) return QRect();
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

bool WaitForFrame(QWidget& window, int timeoutMs) {
    if (!QTest::qWaitForWindowExposed(&window, timeoutMs)) return false;
    if (!UnderWindowManager()) return true;
    return QTest::qWaitFor(
        [&] {
            const QRect frame = ServerFrame(window);
            return frame != ServerInside(window) && window.frameGeometry() == frame &&
                   window.geometry() == ServerInside(window);
        },
        timeoutMs);
}

bool SaveScreenScreenshot(const QString& name) {
    const QString folder = ScreenshotFolder();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (folder.isEmpty() || !screen) return false;
    QDir().mkpath(folder);
    return screen->grabWindow(0).save(QDir(folder).filePath(name + QStringLiteral(".png")), "PNG");
}

} // namespace test
