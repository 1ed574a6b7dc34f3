#include "design_pictures.h"

#include <QGuiApplication>
#include <QImage>

#include <cmath>

namespace tarvoni {

QString doubleSizePath(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= path.lastIndexOf(QLatin1Char('/')))
        return path + QLatin1String("@2x");
    return path.left(dot) + QLatin1String("@2x") + path.mid(dot);
}

QPixmap designPicture(const QString &path, qreal devicePixelRatio)
{
    QImage design(path);
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

} // namespace tarvoni
