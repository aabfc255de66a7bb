#pragma once

#include "platform/SoundPlayer.h"

#include <QStringList>

namespace stowline::platform {

class RecordingSoundPlayer final : public SoundPlayer {
public:
    void playAsync(const QString& waveFile) override { played << waveFile; }
    QStringList played;
};

} // namespace stowline::platform
