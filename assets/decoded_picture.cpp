#include "assets/decoded_picture.h"

#include <cstring>

namespace tarvoni {

namespace {

constexpr quint32 kMagic = 0x54565031; // "TVP1"

// What precedes the colours and the pixels.
struct Header {
    quint32 magic = kMagic;
    qint32 width = 0;
    qint32 height = 0;
    qint32 format = 0; // QImage::Format
    qint32 bytesPerLine = 0;
    qint32 colourCount = 0; // colours before the pixels
};

} // namespace

QByteArray encodeDecodedPicture(const QImage &image)
{
    if (image.isNull())
        return {};
    Header header;
    header.width = image.width();
    header.height = image.height();
    header.format = image.format();
    header.bytesPerLine = int(image.bytesPerLine());
    header.colourCount = int(image.colorCount());
    QByteArray data(reinterpret_cast<const char *>(&header), sizeof header);
    const QList<QRgb> colours = image.colorTable();
    data.append(reinterpret_cast<const char *>(colours.constData()),
                colours.size() * qsizetype(sizeof(QRgb)));
    data.append(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
    return data;
}

QImage readDecodedPicture(QByteArrayView data)
{
    Header header;
    if (data.size() < qsizetype(sizeof header))
        return {};
    std::memcpy(&header, data.data(), sizeof header);
    const auto format = QImage::Format(header.format);
    if (header.magic != kMagic || header.width <= 0 || header.height <= 0 || header.colourCount < 0
        || header.colourCount > 256 || format <= QImage::Format_Invalid || format >= QImage::NImageFormats) {
        return {};
    }
    const qsizetype colourBytes = header.colourCount * qsizetype(sizeof(QRgb));
    const qsizetype pixelBytes = qsizetype(header.bytesPerLine) * header.height;
    if (header.bytesPerLine <= 0 || data.size() != qsizetype(sizeof header) + colourBytes + pixelBytes)
        return {};
    QList<QRgb> colours(header.colourCount);
    if (!colours.isEmpty())
        std::memcpy(colours.data(), data.data() + sizeof header, size_t(colourBytes));
    const auto *pixels = reinterpret_cast<const uchar *>(data.data() + sizeof header + colourBytes);

    // Pixels that lie on a word boundary are used where they lie: an image on read-only data
    // copies them only when it is painted on.
    QImage image;
    if (quintptr(pixels) % alignof(quint32) == 0)
        image = QImage(pixels, header.width, header.height, header.bytesPerLine, format);
    if (image.isNull() || image.bytesPerLine() != header.bytesPerLine) {
        image = QImage(header.width, header.height, format);
        if (image.isNull() || image.bytesPerLine() != header.bytesPerLine)
            return {};
        std::memcpy(image.bits(), pixels, size_t(pixelBytes));
    }
    if (!colours.isEmpty())
        image.setColorTable(colours);
    return image;
}

} // namespace tarvoni
