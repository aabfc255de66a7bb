#include "shell/Shortcuts.h"

#include "shell/DesktopEntry.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace stowline::shell {

namespace {

struct NamedItem {
    const char* item;
    const char* name;
};

constexpr NamedItem kNamedItems[] = {
    {"/exit", "EXIT"},           {"/safeexit", "SAFEEXIT"}, {"/shutdown", "SHUTDOWN"},
    {"/hibernate", "HIBERNATE"}, {"/suspend", "SUSPEND"},   {"/reboot", "REBOOT"},
    {"/hide", "HIDE"},
};

// `text` cut to at most `bytes` bytes of UTF-8, at a character boundary.
QString cutToBytes(QString text, qsizetype bytes) {
    while (text.toUtf8().size() > bytes)
        text.chop(text.back().isLowSurrogate() && text.size() > 1 ? 2 : 1);
    return text;
}

} // namespace

QStringList shortcutFinalActions() {
    QStringList actions;
    for (const NamedItem& named : kNamedItems) {
        if (QLatin1String(named.item) != QLatin1String("/hide"))
            actions << QLatin1String(named.item);
    }
    return actions;
}

QString shortcutNamePart(const QString& item) {
    for (const NamedItem& named : kNamedItems) {
        if (item == QLatin1String(named.item))
            return QLatin1String(named.name);
    }
    return item;
}

QStringList shortcutItems(QStringList items, bool hide, const QString& finalAction) {
    if (!finalAction.isEmpty()) {
        if (!items.isEmpty() && shortcutFinalActions().contains(items.last()))
            items.removeLast();
        items << finalAction;
    }
    if (hide && (items.isEmpty() || items.first() != QLatin1String("/hide")))
        items.prepend(QStringLiteral("/hide"));
    return items;
}

QString shortcutName(const QStringList& items) {
    QStringList parts;
    for (const QString& item : items)
        parts << shortcutNamePart(item);
    QString name = QStringLiteral("SWL - ") + parts.join(QStringLiteral(", "));
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return cutToBytes(name, kLongestShortcutName).trimmed();
}

QString shortcutFileName(const QStringList& items) {
    return shortcutName(items) + QLatin1String(".desktop");
}

QString shortcutEntryText(const QString& program, const QStringList& items) {
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Version=1.0\n");
    text += QLatin1String("Name=") + desktopEntryString(shortcutName(items)) + QLatin1Char('\n');
    text += QLatin1String("Comment=Runs Stowline presets\n");
    text += QLatin1String("Exec=") + desktopExecValue(program, items) + QLatin1Char('\n');
    text += QLatin1String("Icon=stowline\n"
                          "Terminal=false\n"
                          "Categories=Utility;Archiving;\n");
    return text;
}

QString applicationsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1String("/applications");
}

QString desktopFolder() {
    QProcess userDir;
    userDir.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("DESKTOP")});
    if (userDir.waitForFinished(5000) && userDir.exitCode() == 0) {
        const QString folder = QString::fromLocal8Bit(userDir.readAllStandardOutput()).trimmed();
        if (!folder.isEmpty())
            return folder;
    }
    return QDir::homePath() + QLatin1String("/Desktop");
}

QString writeShortcut(const QString& folder, const QString& program, const QStringList& items) {
    return writeDesktopFile(folder + QLatin1Char('/') + shortcutFileName(items),
                            shortcutEntryText(program, items));
}

} // namespace stowline::shell
