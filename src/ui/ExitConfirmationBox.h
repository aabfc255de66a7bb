#pragma once

#include "core/Program.h"

#include <QDialog>

#include <chrono>

class QLabel;
class QTimer;

namespace stowline::ui {

// Asks whether to close the program, keep it, or keep it running in the tray, and closes
// it on its own when nobody answers before the countdown ends. Escape means close.
class ExitCountdownDialog final : public QDialog {
    Q_OBJECT
public:
    ExitCountdownDialog(const core::MessageTable& messages, int seconds,
                        std::chrono::milliseconds tick, QWidget* parent = nullptr);

    core::ExitChoice choice() const { return choice_; }
    int remainingSeconds() const { return remaining_; }
    QString countdownText() const;

    void reject() override;

private:
    void finishWith(core::ExitChoice choice);
    void tick();

    QString countdownPattern_;
    QLabel* countdown_;
    QTimer* timer_;
    int remaining_;
    core::ExitChoice choice_ = core::ExitChoice::Close;
};

// The exit confirmation of the desktop program: 15 seconds to answer.
class ExitConfirmationBox final : public core::ExitConfirmation {
public:
    static constexpr int kCountdownSeconds = 15;

    // `tick` is one second of the countdown; tests pass a shorter one.
    explicit ExitConfirmationBox(std::chrono::milliseconds tick = std::chrono::seconds(1))
        : tick_(tick) {}

    core::ExitChoice confirmExit(const core::MessageTable& messages) override;

private:
    std::chrono::milliseconds tick_;
};

} // namespace stowline::ui
