#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP end the program in order: the signal handler only writes a byte
// into a pipe; the event loop reads it and leaves every running loop, so the main window's
// close runs and the data file is closed.
class TSignalQuit : public QObject {
    Q_OBJECT
public:
    // Catches the signals; call it first thing, before any window exists. False when the pipe
    // or a handler could not be set up.
    static bool CatchSignals();

    // Answers the caught signals from the event loop; needs the application object.
    explicit TSignalQuit(QObject* parent = nullptr);
    ~TSignalQuit() override;

    // True once a signal asked the program to end.
    bool Requested() const { return requested_; }

signals:
    void quitRequested();

private:
    void OnSignal();

    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};
