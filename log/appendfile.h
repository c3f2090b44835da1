#pragma once

#include <QByteArray>
#include <QString>

namespace korvex {

// Appends bytes at the end of the regular file at path, creating it when it is missing, in
// one write, while other Korvex processes may append to it too. Fails at once, without
// waiting, when the file is read-only, held by another program, or no regular file at all.
// Returns false when the bytes could not be written whole; the file then holds what it held
// before, and it is closed either way.
bool appendWhole(const QString &path, const QByteArray &bytes);

} // namespace korvex
