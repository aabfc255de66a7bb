#include "ui/locate/ArchiverSearch.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace stowline::ui {

ArchiverSearch::ArchiverSearch(QString root, QStringList names)
    : root_(std::move(root)), names_(std::move(names)) {}

std::optional<QString> ArchiverSearch::run(const std::function<bool()>& keepGoing) {
    stopped_ = false;
    struct stat info {};
    if (::lstat(QFile::encodeName(root_).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return searchFolder(QDir::cleanPath(root_), info.st_dev, keepGoing);
}

std::optional<QString> ArchiverSearch::searchFolder(const QString& folder,
                                                    unsigned long long device,
                                                    const std::function<bool()>& keepGoing) {
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : entries) {
        const QString path =
            folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0) {
            if (S_ISDIR(info.st_mode) && info.st_dev == device) {
                if (std::optional<QString> found = searchFolder(path, device, keepGoing))
                    return found;
                if (stopped_)
                    return std::nullopt;
            } else if (S_ISREG(info.st_mode) && names_.contains(name) &&
                       ::access(QFile::encodeName(path).constData(), X_OK) == 0) {
                return path;
            }
        }
        if (!keepGoing()) {
            stopped_ = true;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace stowline::ui
