#pragma once

#include <QString>

namespace stowline::core {

// Expands %NAME% references with the values of environment variables. Unknown names
// and a lone "%" stay as they are. When the expanded text would not fit the 4097-character
// buffer of the stored formats (4096 characters and the terminator), the text is
// returned unchanged.
QString ExpandEnvironmentText(const QString& text);

inline constexpr int kExpandedTextLimit = 4096;

} // namespace stowline::core
