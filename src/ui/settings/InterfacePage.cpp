#include "ui/settings/InterfacePage.h"

#include "ui_InterfacePage.h"

namespace stowline::ui {

InterfacePage::InterfacePage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::InterfacePage>()) {
    ui_->setupUi(this);
}

InterfacePage::~InterfacePage() = default;

} // namespace stowline::ui
