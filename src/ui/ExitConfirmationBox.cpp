#include "ui/ExitConfirmationBox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace stowline::ui {

ExitCountdownDialog::ExitCountdownDialog(const core::MessageTable& messages, int seconds,
                                         std::chrono::milliseconds tick, QWidget* parent)
    : QDialog(parent), countdownPattern_(messages.text(u"swlwillexit")),
      countdown_(new QLabel(this)), timer_(new QTimer(this)), remaining_(seconds) {
    setWindowTitle(QApplication::applicationDisplayName());
    setObjectName(QStringLiteral("ExitConfirmation"));
    countdown_->setObjectName(QStringLiteral("countdown"));
    countdown_->setText(countdownText());

    auto* buttons = new QDialogButtonBox(this);
    const auto addButton = [&](const char* name, QStringView key, core::ExitChoice choice) {
        QPushButton* button = buttons->addButton(messages.text(key), QDialogButtonBox::ActionRole);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, [this, choice] { finishWith(choice); });
        return button;
    };
    addButton("exitButton", u"exitchoiceexit", core::ExitChoice::Close)->setDefault(true);
    addButton("stayButton", u"exitchoicestay", core::ExitChoice::Cancel);
    addButton("hideButton", u"exitchoicehide", core::ExitChoice::HideToTray);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countdown_);
    layout->addWidget(buttons);

    timer_->setInterval(tick);
    connect(timer_, &QTimer::timeout, this, &ExitCountdownDialog::tick);
    timer_->start();
}

QString ExitCountdownDialog::countdownText() const {
    return core::formatMessage(countdownPattern_, {QString::number(remaining_)});
}

void ExitCountdownDialog::reject() {
    finishWith(core::ExitChoice::Close);
}

void ExitCountdownDialog::finishWith(core::ExitChoice choice) {
    timer_->stop();
    choice_ = choice;
    done(choice == core::ExitChoice::Close ? QDialog::Accepted : QDialog::Rejected);
}

void ExitCountdownDialog::tick() {
    remaining_ = std::max(remaining_ - 1, 0);
    countdown_->setText(countdownText());
    if (remaining_ == 0)
        finishWith(core::ExitChoice::Close);
}

core::ExitChoice ExitConfirmationBox::confirmExit(const core::MessageTable& messages) {
    ExitCountdownDialog dialog(messages, kCountdownSeconds, tick_);
    dialog.exec();
    return dialog.choice();
}

} // namespace stowline::ui
