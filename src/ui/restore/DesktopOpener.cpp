#include "ui/restore/DesktopOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace stowline::ui {

namespace {
constexpr int kQueryMilliseconds = 5000;

QString query(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdg-mime"), arguments);
    if (!process.waitForFinished(kQueryMilliseconds) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
} // namespace

QString XdgDesktopOpener::defaultApplicationFor(const QString& path) {
    const QString type = query({QStringLiteral("query"), QStringLiteral("filetype"), path});
    if (type.isEmpty())
        return {};
    return query({QStringLiteral("query"), QStringLiteral("default"), type});
}

bool XdgDesktopOpener::openArchive(const QString& path, const QString& archiver) {
    if (!defaultApplicationFor(path).isEmpty() &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    return !archiver.isEmpty() && QProcess::startDetached(archiver, {path});
}

bool XdgDesktopOpener::openFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace stowline::ui
