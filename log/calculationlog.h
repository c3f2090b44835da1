#pragma once

#include <QString>

#include <cstdint>

namespace korvex {

// Appends the inputs of one calculation to the log file at path as a four-line record:
//
//   "Columns:",<rows>
//   "Rows:",<columns>
//   "Connection Length:",<connection length>
//   <empty line>
//
// with CR LF line ends. The first two labels are swapped against the main window's on
// purpose: files written so far read that way. Creates the file when it is missing and
// writes only to a regular file: a pipe, socket or device at path is a failure, met without
// waiting. Returns false when the record could not be written whole; the file then holds
// what it held before, and it is closed either way.
bool AppendCalculationRecord(const QString &path, std::int16_t rows, std::int16_t columns,
                             std::int16_t connectionLength);

} // namespace korvex
