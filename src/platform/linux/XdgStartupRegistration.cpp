#include "platform/linux/XdgStartupRegistration.h"

#include "platform/linux/UserServiceManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace stowline::platform {

namespace {
const QString kUnitName = QStringLiteral("stowline.service");

// Desktop entries and unit files are read by other programs that expect LF line ends.
bool writeFile(const QString& path, const QStringList& lines) {
    if (!QDir().mkpath(QFileInfo(path).path())) {
        std::fprintf(stderr, "Cannot create the folder of %s\n", qPrintable(path));
        return false;
    }
    QSaveFile file(path);
    const QByteArray bytes = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        file.cancelWriting();
        return false;
    }
    return true;
}

// Removes a file or a link (also a dangling one); true when nothing is left there.
bool removeEntry(const QString& path) {
    if (!QFileInfo(path).isSymLink() && !QFileInfo::exists(path))
        return true;
    if (QFile::remove(path))
        return true;
    std::fprintf(stderr, "Cannot remove %s\n", qPrintable(path));
    return false;
}

// One argument inside double quotes, with `escaped` characters preceded by a backslash.
QString doubleQuoted(const QString& argument, QStringView escaped) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (escaped.contains(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}
} // namespace

XdgStartupRegistration::XdgStartupRegistration(QString programPath, QString configHome,
                                               UserServiceManager& services)
    : programPath_(std::move(programPath)), configHome_(std::move(configHome)),
      services_(services) {}

QString XdgStartupRegistration::userConfigHome() {
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty())
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString XdgStartupRegistration::autostartFile() const {
    return configHome_ + QStringLiteral("/autostart/stowline.desktop");
}

QString XdgStartupRegistration::unitFile() const {
    return configHome_ + QStringLiteral("/systemd/user/") + kUnitName;
}

QString XdgStartupRegistration::unitLink() const {
    return configHome_ + QStringLiteral("/systemd/user/default.target.wants/") + kUnitName;
}

QString XdgStartupRegistration::desktopExecValue(const QString& program,
                                                 const QStringList& arguments) {
    // Quoting of the Exec key, then the general escaping of desktop entry strings, in
    // which a backslash is doubled; "%" starts a field code unless doubled.
    QStringList parts{doubleQuoted(program, u"\"`$\\")};
    parts += arguments;
    QString value = parts.join(QLatin1Char(' '));
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return value;
}

QString XdgStartupRegistration::unitExecValue(const QString& program,
                                              const QStringList& arguments) {
    // systemd expands "%" specifiers and "$" variables; doubling keeps them literal.
    QStringList parts{doubleQuoted(program, u"\"\\")};
    parts += arguments;
    QString value = parts.join(QLatin1Char(' '));
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    value.replace(QLatin1Char('$'), QStringLiteral("$$"));
    return value;
}

bool XdgStartupRegistration::enableLoginStart(const QStringList& arguments) {
    return writeFile(autostartFile(),
                     {
                         QStringLiteral("[Desktop Entry]"),
                         QStringLiteral("Type=Application"),
                         QStringLiteral("Name=Stowline"),
                         QStringLiteral("Comment=Backup scheduler, started hidden at log-in"),
                         QStringLiteral("Exec=") + desktopExecValue(programPath_, arguments),
                         QStringLiteral("Terminal=false"),
                         QStringLiteral("X-GNOME-Autostart-enabled=true"),
                     });
}

bool XdgStartupRegistration::disableLoginStart() {
    return removeEntry(autostartFile());
}

bool XdgStartupRegistration::enableService() {
    const bool written =
        writeFile(unitFile(), {
                                  QStringLiteral("[Unit]"),
                                  QStringLiteral("Description=Stowline backup scheduler"),
                                  QString(),
                                  QStringLiteral("[Service]"),
                                  QStringLiteral("Type=simple"),
                                  QStringLiteral("ExecStart=") +
                                      unitExecValue(programPath_, {QStringLiteral("/svc")}),
                                  QStringLiteral("Restart=on-failure"),
                                  QString(),
                                  QStringLiteral("[Install]"),
                                  QStringLiteral("WantedBy=default.target"),
                              });
    if (!written)
        return false;
    if (services_.reachable())
        return services_.run({QStringLiteral("daemon-reload")}) &&
               services_.run({QStringLiteral("enable"), kUnitName});
    if (QFileInfo(unitLink()).isSymLink())
        return true;
    if (!QDir().mkpath(QFileInfo(unitLink()).path()) ||
        !QFile::link(QStringLiteral("../") + kUnitName, unitLink())) {
        std::fprintf(stderr, "Cannot link %s\n", qPrintable(unitLink()));
        return false;
    }
    return true;
}

bool XdgStartupRegistration::disableService() {
    // Nothing to do, and no systemctl call on every exit, when the unit was never
    // installed.
    if (!QFileInfo::exists(unitFile()) && !QFileInfo(unitLink()).isSymLink())
        return true;
    const bool reachable = services_.reachable();
    bool done = !reachable || services_.run({QStringLiteral("disable"), kUnitName});
    done = removeEntry(unitLink()) && done;
    done = removeEntry(unitFile()) && done;
    if (reachable)
        done = services_.run({QStringLiteral("daemon-reload")}) && done;
    return done;
}

} // namespace stowline::platform
