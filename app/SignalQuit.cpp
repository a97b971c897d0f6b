#include "SignalQuit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void WriteSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request: losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool TSignalQuit::CatchSignals() {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = &WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool ok = true;
    for (const int signalNumber : kSignals)
        ok = ::sigaction(signalNumber, &action, nullptr) == 0 && ok;
    return ok;
}

TSignalQuit::TSignalQuit(QObject* parent) : QObject(parent) {
    if (signalPipe[0] < 0) return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TSignalQuit::OnSignal);
}

TSignalQuit::~TSignalQuit() = default;

void TSignalQuit::OnSignal() {
    unsigned char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    requested_ = true;
    emit quitRequested();
    // Leaves nested loops too (an open box or dialog), then the main loop.
    QCoreApplication::exit(0);
}
