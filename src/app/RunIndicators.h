#pragma once

#include "backup/BackupRun.h"

namespace stowline::app {

// Without a tray icon there is no running picture to show.
class NoTrayRunIndicator final : public backup::RunIndicator {
public:
    void showRunning() override {}
    void showIdle() override {}
};

} // namespace stowline::app
