#include "shell/DesktopEntry.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace stowline::shell {

namespace {

// Characters that force an argument into double quotes.
bool needsQuotes(const QString& argument) {
    if (argument.isEmpty())
        return true;
    for (const QChar c : argument) {
        if (c.isSpace() || QStringView(u"\"'\\><~|&;$*?#()`=").contains(c))
            return true;
    }
    return false;
}

QString quotedArgument(const QString& argument) {
    if (!needsQuotes(argument))
        return argument;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

} // namespace

QString desktopEntryString(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            escaped += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            escaped += QLatin1String("\\t");
        else
            escaped += c;
    }
    return escaped;
}

QString desktopExecValue(const QString& program, const QStringList& arguments,
                         const QString& fieldCodes) {
    QStringList parts{quotedArgument(program)};
    for (const QString& argument : arguments)
        parts << quotedArgument(argument);
    QString line = parts.join(QLatin1Char(' '));
    line.replace(QLatin1Char('%'), QLatin1String("%%"));
    if (!fieldCodes.isEmpty())
        line += QLatin1Char(' ') + fieldCodes;
    return desktopEntryString(line);
}

QString writeDesktopFile(const QString& path, const QString& text) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder \"%1\"")
            .arg(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(text.toUtf8());
    if (!file.commit())
        return file.errorString();
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
    return QString();
}

} // namespace stowline::shell
