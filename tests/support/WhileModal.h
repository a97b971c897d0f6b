#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace test {

// Runs `open`, which shows a modal window and waits in its loop, hands that window to
// `inspect` once it is up, then closes it; false when no modal window came.
inline bool WhileModal(const std::function<void()>& open, const std::function<void(QWidget&)>& inspect) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || seen) return;
        seen = true;
        poll.stop();
        inspect(*modal);
        if (modal) modal->close();
    });
    poll.start();
    open();
    return seen;
}

} // namespace test
