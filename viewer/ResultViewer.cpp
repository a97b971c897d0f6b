#include "ResultViewer.h"

#include "PrintChoice.h"
#include "fZelReslt.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QPointer>

#include <cstdio>
#include <exception>

namespace viewer {
namespace {

// The caller's application window, when the handle names one of this program's windows.
QWidget* ApplicationWindow(std::uintptr_t parent) {
    if (parent == 0) return nullptr;
    QWidget* widget = QWidget::find(static_cast<WId>(parent));
    return widget ? widget->window() : nullptr;
}

void TellCannotOpen(QWidget* owner, const char* reason) {
    platform::Messages().Show(
        owner, QStringLiteral("Error"),
        QStringLiteral("The result viewer could not be opened (%1).").arg(QString::fromLocal8Bit(reason)),
        platform::MessageIcon::Error, platform::MessageButtons::Ok);
}

} // namespace

QDialog* MakeResultViewer(const QString& resultFileName, QWidget* parent) {
    return new TfmZelReslt(resultFileName, PrintDialogChoice(), parent);
}

std::uintptr_t ShowResultModal(std::uintptr_t parent, const char* fileName, const ViewerMaker& make) {
    // Windows need the program's application object; without one there is nothing to show on.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fputs("zelreslt: no application object, the result page cannot be shown\n", stderr);
        return 0;
    }
    QWidget* owner = nullptr;
    try {
        owner = ApplicationWindow(parent);
        // The whole name is kept: a shortened one could show or print another file.
        const QString resultFileName = QFile::decodeName(fileName ? fileName : "");
        QPointer<QDialog> window = make(resultFileName, owner);
        if (!window) {
            TellCannotOpen(owner, "no window was made");
            return 0;
        }
        const auto handle = static_cast<std::uintptr_t>(window->winId());
        window->exec();
        delete window.data(); // a window that did not free itself at its close
        return handle;
    } catch (const std::exception& error) {
        TellCannotOpen(owner, error.what());
    } catch (...) {
        TellCannotOpen(owner, "unknown failure");
    }
    return 0;
}

} // namespace viewer
