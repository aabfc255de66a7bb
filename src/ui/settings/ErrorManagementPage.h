#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class ErrorManagementPage;
}

namespace stowline::ui {

struct SettingsContext;

// Error reports by e-mail, the error sound and delivery retries.
class ErrorManagementPage final : public QWidget {
    Q_OBJECT
public:
    ErrorManagementPage(SettingsContext& context, QWidget* parent = nullptr);
    ~ErrorManagementPage() override;
    Q_DISABLE_COPY_MOVE(ErrorManagementPage)

private:
    SettingsContext& c_;
    std::unique_ptr<Ui::ErrorManagementPage> ui_;
};

} // namespace stowline::ui
