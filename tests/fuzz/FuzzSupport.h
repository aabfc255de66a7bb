#pragma once

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

inline QString asText(const std::uint8_t* data, std::size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace stowline::fuzz
