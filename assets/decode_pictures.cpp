// Decodes the window's pictures when the program is built:
//   tarvoni_decode_pictures SOURCE_DIR OUTPUT_DIR PICTURE...
// writes OUTPUT_DIR/PICTURE for each SOURCE_DIR/PICTURE, as assets/decoded_picture.h describes.

#include "assets/decoded_picture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The decoders are Qt's image plugins, found through the application.
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: tarvoni_decode_pictures SOURCE_DIR OUTPUT_DIR PICTURE...\n");
        return 2;
    }
    const QDir source(args.at(1));
    const QDir output(args.at(2));
    for (const QString &picture : args.mid(3)) {
        QImageReader reader(source.filePath(picture));
        const QImage image = reader.read();
        const QByteArray decoded = tarvoni::encodeDecodedPicture(image);
        if (decoded.isEmpty() || tarvoni::readDecodedPicture(decoded) != image) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(picture), qPrintable(reader.errorString()));
            return 1;
        }
        const QString target = output.filePath(picture);
        QDir().mkpath(QFileInfo(target).path());
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly) || file.write(decoded) != decoded.size()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(target), qPrintable(file.errorString()));
            return 1;
        }
    }
    return 0;
}
