#include "net/DeliveryCommon.h"

#include "backup/RunState.h"

#include <QTimer>

namespace stowline::net {

HostAndPort splitHostPort(const QString& text, const QString& defaultPort) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {text, defaultPort};
    return {text.left(colon), text.mid(colon + 1)};
}

protocols::SmtpTlsMode smtpTlsMode(int sss) {
    switch (sss) {
    case 1:
        return protocols::SmtpTlsMode::Implicit;
    case 2:
        return protocols::SmtpTlsMode::Explicit;
    default:
        return protocols::SmtpTlsMode::None;
    }
}

void restartOperationTimer(backup::RunState& run, int minutes, std::chrono::milliseconds minute) {
    if (!run.Optimer)
        return;
    run.Optimer->stop();
    if (minutes != 0)
        run.Optimer->start(minute * minutes);
}

void stopOperationTimer(backup::RunState& run) {
    if (run.Optimer)
        run.Optimer->stop();
}

} // namespace stowline::net
