#include "application.h"

#include <QApplication>
#include <QLabel>

namespace tarvoni {

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvoni Radio Player"));
    QApplication::setApplicationVersion(QStringLiteral("3.01"));

    QLabel placeholder(QStringLiteral("Tarvoni Radio Player"));
    placeholder.resize(637, 581);
    placeholder.show();
    return app.exec();
}

} // namespace tarvoni
