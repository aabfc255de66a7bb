#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class SecurityPage;
}

namespace stowline::ui {

struct SettingsContext;

// The admin password and what it protects.
class SecurityPage final : public QWidget {
    Q_OBJECT
public:
    SecurityPage(SettingsContext& context, QWidget* parent = nullptr);
    ~SecurityPage() override;
    Q_DISABLE_COPY_MOVE(SecurityPage)

private:
    void setPassword();
    SettingsContext& c_;
    std::unique_ptr<Ui::SecurityPage> ui_;
};

} // namespace stowline::ui
