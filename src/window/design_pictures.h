#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tarvoni {

// A picture of the window for a screen of the given device pixel ratio, drawn at the picture's
// design size in device-independent pixels. Above a ratio of 1 it is made from the picture's
// double-size version ("banner@2x.gif" beside "banner.gif") where there is one, brought to the
// screen's own pixel size so that it is drawn pixel for pixel; else from the picture itself.
QPixmap designPicture(const QString &path, qreal devicePixelRatio);

// The same for the application's device pixel ratio.
QPixmap designPicture(const QString &path);

// The window's icon: on a screen of ratio 1 its picture alone; above, the picture and its
// double-size version, as QIcon finds them.
QIcon designIcon(const QString &path);

// Where the double-size version of a picture lies: ":/assets/banner.gif" gives
// ":/assets/banner@2x.gif".
QString doubleSizePath(const QString &path);

} // namespace tarvoni
