#include "calculationlog.h"

#include "logfile.h"

#include <QByteArray>
#include <QFile>

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
    if (isMarkedReadOnly(path))
        return false;

    const QByteArray record = recordLine("Columns:", rows) + recordLine("Rows:", columns)
                              + recordLine("Connection Length:", connectionLength) + "\r\n";

    // Unbuffered, so that a failing write shows in write() itself rather than at close.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const bool written = file.write(record) == record.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace korvex
