// Appends calculation records to a log file as fast as it can, so that two of it at once show
// whether the appends of several Korvex processes keep every record whole. Record i of COUNT
// holds ROWS rows, i columns and a connection length of 4.
//
// usage: korvex_appendrecords ROWS COUNT [FILE]   (without FILE: Korvex's own log file)

#include "calculationlog.h"
#include "logfile.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        std::fprintf(stderr, "usage: korvex_appendrecords ROWS COUNT [FILE]\n");
        return 2;
    }
    const auto rows = static_cast<std::int16_t>(arguments.at(1).toShort());
    const int count = arguments.at(2).toInt();
    const QString file =
        arguments.size() == 4 ? arguments.at(3) : korvex::logFilePath(korvex::driveCFolder());
    for (int i = 1; i <= count; ++i) {
        if (!korvex::AppendCalculationRecord(file, rows, static_cast<std::int16_t>(i), 4)) {
            std::fprintf(stderr, "record %d could not be appended to %s\n", i, qPrintable(file));
            return 1;
        }
    }
    return 0;
}
