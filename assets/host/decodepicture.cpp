// Decodes a picture at build time and writes it as a PNG, which Qt reads without any
// image-format plugin: the program then starts without loading a JPEG decoder at all.
//
// usage: korvex_decodepicture <picture> <png>

#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <picture> <png>\n", argv[0]);
        return 2;
    }
    const QImage picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    QImageWriter png(QString::fromLocal8Bit(argv[2]), "png");
    if (!png.write(picture)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], qPrintable(png.errorString()));
        return 1;
    }
    return 0;
}
