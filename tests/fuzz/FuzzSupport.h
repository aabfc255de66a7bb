#pragma once

#include "core/EventLog.h"
#include "core/ProgramState.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace stowline::fuzz {

// One temporary folder for the whole fuzzing process: parsers that read files get the
// input written there.
inline const QString& scratchFolder() {
    static QTemporaryDir folder;
    static const QString path = folder.isValid() ? folder.path() : QString();
    if (path.isEmpty())
        std::abort();
    return path;
}

// Replaces the file `name` of the scratch folder with `data`; returns its path.
inline QString writeScratchFile(const QString& name, const std::uint8_t* data, std::size_t size) {
    const QString path = scratchFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
        std::abort();
    return path;
}

// Empties swl.log and the list of its lines, for targets that keep one event log for the
// whole process. Loading a missing swl.log keeps the list, so the list is emptied itself:
// a list that kept every line of a long run filled the 2 GiB a target may use.
inline void forgetEventLog(core::EventLog& log, const core::Folders& folders) {
    QFile::remove(folders.inData(QStringLiteral("swl.log")));
    log.model().replaceAll({});
}

inline QString asText(const std::uint8_t* data, std::size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace stowline::fuzz
