#include "platform/linux/PosixSignalNotifier.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace stowline::platform {

namespace {
int signalPipe[2] = {-1, -1};

void forwardSignal(int) {
    const char byte = 1;
    // Nothing useful can be done about a full pipe: one pending byte is enough.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT};
} // namespace

PosixSignalNotifier::PosixSignalNotifier(QObject* parent) : SessionNotifier(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        qFatal("Cannot create the socket pair for signal handling");
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PosixSignalNotifier::drainSignals);

    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kEndingSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

PosixSignalNotifier::~PosixSignalNotifier() {
    for (int signalNumber : kEndingSignals)
        ::signal(signalNumber, SIG_DFL);
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void PosixSignalNotifier::drainSignals() {
    char buffer[64];
    while (::read(signalPipe[1], buffer, sizeof buffer) > 0) {
    }
    emit sessionEnding();
}

} // namespace stowline::platform
