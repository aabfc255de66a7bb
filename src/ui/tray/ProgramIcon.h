#pragma once

#include <QIcon>

namespace stowline::ui {

// The program's icon, drawn: a box in blue, or in green while a backup runs.
QIcon programIcon(bool running);

} // namespace stowline::ui
