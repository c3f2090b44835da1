#pragma once

#include <QPixmap>

class QString;

namespace korvex {

// A picture box's image, read in the one format it is stored in. Read any other way, it
// would first be offered to every image-format plugin Qt has, each loaded for the purpose,
// even for a PNG, which Qt reads itself.
QPixmap loadPicture(const QString &path, const char *format);

} // namespace korvex
