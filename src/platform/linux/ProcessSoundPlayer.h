#pragma once

#include "platform/SoundPlayer.h"

#include <QString>

namespace stowline::platform {

// Plays a wave file through paplay or aplay as a detached child process.
class ProcessSoundPlayer final : public SoundPlayer {
public:
    ProcessSoundPlayer();
    void playAsync(const QString& waveFile) override;

private:
    QString player_;
};

} // namespace stowline::platform
