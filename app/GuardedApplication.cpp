#include "GuardedApplication.h"

#include "platform/MessageBox.h"

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowUncaughtException(std::current_exception());
    }
    // The event counts as not handled; its handler stopped part way.
    return false;
}

void ShowUncaughtException(std::exception_ptr error) {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error.");
    }
    try {
        platform::Messages().Show(nullptr, QApplication::applicationName(), text,
                                  platform::MessageIcon::Error, platform::MessageButtons::Ok);
    } catch (...) {
        // The box itself failed (out of memory): nothing is left to tell the user with.
    }
}
