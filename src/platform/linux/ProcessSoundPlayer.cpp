#include "platform/linux/ProcessSoundPlayer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace stowline::platform {

ProcessSoundPlayer::ProcessSoundPlayer() {
    for (const char* candidate : {"paplay", "aplay"}) {
        player_ = QStandardPaths::findExecutable(QString::fromLatin1(candidate));
        if (!player_.isEmpty())
            break;
    }
}

void ProcessSoundPlayer::playAsync(const QString& waveFile) {
    if (player_.isEmpty() || !QFileInfo(waveFile).isFile())
        return;
    QStringList arguments;
    if (player_.endsWith(QLatin1String("aplay")))
        arguments << QStringLiteral("-q");
    arguments << waveFile;
    // A player that cannot reach a sound device fails on its own; that is the silent case.
    QProcess::startDetached(player_, arguments);
}

} // namespace stowline::platform
