#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

namespace tarvoni {

// A picture decoded once, when the program is built, so that the window shows it without
// loading an image decoder or decoding it at start-up: the decoder's own image, pixel for
// pixel, in this machine's byte order, uncompressed.

// The decoded form of `image`; empty for a null image.
QByteArray encodeDecodedPicture(const QImage &image);

// The image `data` holds (exactly the image given to encodeDecodedPicture); a null image
// when `data` is not one. The image may use `data` in place, so `data` must outlive it and
// every copy of it: embedded resources do.
QImage readDecodedPicture(QByteArrayView data);

} // namespace tarvoni
