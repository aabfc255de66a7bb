#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class RemoteAccessPage;
}

namespace stowline::ui {

struct SettingsContext;

// The remote-control server and its login.
class RemoteAccessPage final : public QWidget {
    Q_OBJECT
public:
    RemoteAccessPage(SettingsContext& context, QWidget* parent = nullptr);
    ~RemoteAccessPage() override;
    Q_DISABLE_COPY_MOVE(RemoteAccessPage)

private:
    SettingsContext& c_;
    std::unique_ptr<Ui::RemoteAccessPage> ui_;
};

} // namespace stowline::ui
