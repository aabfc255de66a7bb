#pragma once

#include <QString>

namespace stowline::platform {

// Plays a wave file without waiting for it to end. A file that is missing or cannot be
// played makes no noise and raises no error.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void playAsync(const QString& waveFile) = 0;
};

} // namespace stowline::platform
