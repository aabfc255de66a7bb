#include "backup/RunFolderRecord.h"

#include "core/TextFiles.h"

#include <QFile>

namespace stowline::backup {

RunFolderRecord::RunFolderRecord(QString filePath) : filePath_(std::move(filePath)) {}

QStringList RunFolderRecord::read() const {
    QStringList folders = core::readTextLines(filePath_).value_or(QStringList());
    folders.removeAll(QString());
    return folders;
}

bool RunFolderRecord::add(const QString& runFolder) const {
    return core::writeTextLinesAtomically(filePath_, read() << runFolder);
}

void RunFolderRecord::remove(const QString& runFolder) const {
    QStringList folders = read();
    if (folders.removeAll(runFolder) == 0)
        return;
    if (folders.isEmpty())
        QFile::remove(filePath_);
    else
        core::writeTextLinesAtomically(filePath_, folders);
}

QStringList RunFolderRecord::takeAll() const {
    const QStringList folders = read();
    QFile::remove(filePath_);
    return folders;
}

} // namespace stowline::backup
