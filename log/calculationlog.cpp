#include "calculationlog.h"

#include "appendfile.h"

#include <QByteArray>

namespace korvex {
namespace {

QByteArray recordLine(const char *label, std::int16_t value)
{
    return '"' + QByteArray(label) + "\"," + QByteArray::number(value) + "\r\n";
}

} // namespace

bool AppendCalculationRecord(const QString &path, std::int16_t rows, std::int16_t columns,
                             std::int16_t connectionLength)
{
    if (path.isEmpty())
        return false;
    return appendWhole(path, recordLine("Columns:", rows) + recordLine("Rows:", columns)
                                 + recordLine("Connection Length:", connectionLength) + "\r\n");
}

} // namespace korvex
