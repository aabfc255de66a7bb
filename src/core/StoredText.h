#pragma once

#include <QByteArray>
#include <QString>

namespace stowline::core {

// The line scrambling of swl.opt and the preset files: a six-digit checksum and one
// three-digit group per byte, stored in Base64. It keeps casual readers and editors out;
// it is not encryption. Bytes are the UTF-8 form of the text.
QString EncodeStoredText(const QString& plain);

// The plain text of a stored line, or the empty text when the line is damaged (bad
// Base64, a length not divisible by 3, a non-digit, or a checksum that does not match).
QString DecodeStoredText(const QString& stored);

// The same scrambling on raw bytes, for callers and checks that must cover byte values
// that are not valid UTF-8. A damaged line decodes to an empty array.
QString EncodeStoredBytes(const QByteArray& bytes);
QByteArray DecodeStoredBytes(const QString& stored);

} // namespace stowline::core
