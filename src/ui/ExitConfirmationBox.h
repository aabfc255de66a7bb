#pragma once

#include "core/Program.h"

namespace stowline::ui {

// Asks whether to close the program, keep it, or keep it running in the tray.
class ExitConfirmationBox final : public core::ExitConfirmation {
public:
    core::ExitChoice confirmExit() override;
};

} // namespace stowline::ui
