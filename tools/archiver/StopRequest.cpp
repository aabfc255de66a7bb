#include "archiver/StopRequest.h"

#include <ctime>

namespace stowline::archiver {

StopRequest::StopRequest() {
    sigemptyset(&stopSignals_);
    sigaddset(&stopSignals_, SIGINT);
    sigaddset(&stopSignals_, SIGTERM);
    sigaddset(&stopSignals_, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals_, &previousMask_);
}

StopRequest::~StopRequest() {
    // A signal that is still pending would act at once when unblocked: consume it, the
    // work it asked to stop is over.
    requested();
    sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
}

bool StopRequest::requested() {
    const timespec noWait{0, 0};
    while (sigtimedwait(&stopSignals_, nullptr, &noWait) > 0)
        requested_ = true;
    return requested_;
}

void StopRequest::check() {
    if (requested())
        throw StopRequested{};
}

} // namespace stowline::archiver
