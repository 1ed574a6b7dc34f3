#include "design_pictures.h"

#include "assets/decoded_picture.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QResource>

#include <cmath>

namespace tarvoni {

QString doubleSizePath(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= path.lastIndexOf(QLatin1Char('/')))
        return path + QLatin1String("@2x");
    return path.left(dot) + QLatin1String("@2x") + path.mid(dot);
}

namespace {

const QLatin1String kPictureRoot(":/assets/");
const QLatin1String kDecodedRoot(":/decoded/");

// The picture at its design size: from its form decoded when the program was built where
// there is one, else decoded now.
QImage designImage(const QString &path)
{
    if (path.startsWith(kPictureRoot)) {
        const QResource decoded(kDecodedRoot + path.mid(kPictureRoot.size()));
        // Embedded uncompressed, so the image can lie on the embedded data.
        if (decoded.isValid() && decoded.compressionAlgorithm() == QResource::NoCompression) {
            QImage image = readDecodedPicture(
                QByteArrayView(reinterpret_cast<const char *>(decoded.data()), decoded.size()));
            if (!image.isNull())
                return image;
        }
    }
    return QImage(path);
}

} // namespace

QPixmap designPicture(const QString &path, qreal devicePixelRatio)
{
    QImage design = designImage(path);
    design.setDevicePixelRatio(1.0);
    if (design.isNull() || devicePixelRatio <= 1.0)
        return QPixmap::fromImage(design);

    QImage source(doubleSizePath(path));
    if (source.isNull())
        source = design;
    // Scaled once here, smoothly, to the pixels the screen shows it on.
    const QSize target(int(std::lround(design.width() * devicePixelRatio)),
                       int(std::lround(design.height() * devicePixelRatio)));
    QImage picture = source.size() == target
        ? source
        : source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(picture);
}

QPixmap designPicture(const QString &path)
{
    return designPicture(path, qApp ? qApp->devicePixelRatio() : 1.0);
}

QIcon designIcon(const QString &path)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    if (ratio > 1.0)
        return QIcon(path); // with its double-size version
    QIcon icon;
    icon.addPixmap(designPicture(path, ratio));
    return icon;
}

} // namespace tarvoni
