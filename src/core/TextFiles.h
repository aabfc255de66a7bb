#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowline::core {

// Whole-file text access shared by every stored format: lines are written with CR LF
// line ends, and read with CR LF or LF. Text is UTF-8 (the locale's encoding here).

// The lines of `bytes` without their line ends (CR LF or LF); text after the last line
// end is a line too. The views point into `bytes`.
QList<QByteArrayView> splitLineBytes(QByteArrayView bytes);

// All lines of the file, or nothing when it cannot be read.
std::optional<QStringList> readTextLines(const QString& path);

// Like readTextLines, but a line longer than `maxLineBytes` is cut at a character
// boundary and `cutMark` appended; the rest of it is skipped without being held in
// memory, so a file of a few huge lines costs no more than its lines at that length.
// `cutLines` (when given) receives the number of lines cut. Nothing when the file is not
// a regular file or cannot be read.
std::optional<QStringList> readCappedTextLines(const QString& path, qsizetype maxLineBytes,
                                               const QString& cutMark, int* cutLines = nullptr);

// The first line of the file, or nothing when it cannot be read or is empty.
std::optional<QString> readFirstLine(const QString& path);

// Replaces the file with `lines` through a new file renamed over the old one, so a
// crash or a full disk never leaves a half-written file. On failure the old file is
// kept and `error` (when given) says why.
bool writeTextLinesAtomically(const QString& path, const QStringList& lines,
                              QString* error = nullptr);

// Appends one line (and CR LF), creating the file when needed.
bool appendTextLine(const QString& path, const QString& line, QString* error = nullptr);

// Moves a file onto `target`, replacing an existing target in one step.
bool replaceFile(const QString& source, const QString& target, QString* error = nullptr);

} // namespace stowline::core
