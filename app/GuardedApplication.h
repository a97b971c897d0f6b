#pragma once

#include <QApplication>

#include <exception>

// The program's application object: an exception that leaves an event handler stops at the
// event loop, is shown in an error box, and the program goes on.
class TGuardedApplication : public QApplication {
    Q_OBJECT
public:
    TGuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows `error` in a box with the error icon and the application's name as caption.
void ShowUncaughtException(std::exception_ptr error);
