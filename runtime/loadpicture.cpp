#include "loadpicture.h"

#include <QImageReader>

namespace korvex {

QPixmap loadPicture(const QString &path, const char *format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace korvex
