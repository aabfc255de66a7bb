#pragma once

#include <QString>
#include <QStringList>

namespace stowline::shell {

// Writing XDG desktop entries (launchers, service menus).

// A value of the "string" kind: backslashes, line breaks and tabs escaped.
QString desktopEntryString(const QString& value);
// An Exec key's value that starts `program` with exactly `arguments`: each argument is
// quoted where the entry rules need it (reserved characters, blanks), '"', '`', '$'
// and '\' are escaped inside quotes, '%' is doubled; then the whole is escaped as a
// string value. `fieldCodes` are appended unquoted ("%f").
QString desktopExecValue(const QString& program, const QStringList& arguments,
                         const QString& fieldCodes = {});

// Writes `text` to `path` (replacing it) and makes the file executable, which desktops
// require of launchers outside the system folders. Empty on success, else the reason.
QString writeDesktopFile(const QString& path, const QString& text);

} // namespace stowline::shell
