#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class InterfacePage;
}

namespace stowline::ui {

// How the main window and the tray icon behave.
class InterfacePage final : public QWidget {
    Q_OBJECT
public:
    explicit InterfacePage(QWidget* parent = nullptr);
    ~InterfacePage() override;
    Q_DISABLE_COPY_MOVE(InterfacePage)

private:
    std::unique_ptr<Ui::InterfacePage> ui_;
};

} // namespace stowline::ui
