#pragma once

#include <QString>
#include <QStringList>

namespace stowline::backup {

// The run folders of runs under way, listed in the data folder file "swl.rfl". A run
// adds its folder before the archiver starts and takes it off when the folder is cleaned
// up; a folder still listed at the next start was left behind by a program that ended
// hard (killed, crashed, the session ended), and may hold the only copy of a backup.
class RunFolderRecord {
public:
    explicit RunFolderRecord(QString filePath);

    // False when the record cannot be written.
    bool add(const QString& runFolder) const;
    void remove(const QString& runFolder) const;
    // Every listed folder, and an empty record afterwards.
    QStringList takeAll() const;

private:
    QStringList read() const;

    QString filePath_;
};

} // namespace stowline::backup
