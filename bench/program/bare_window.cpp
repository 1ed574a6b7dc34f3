// A bare Qt window of the program's size: the reference for how soon a window can be mapped.

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.resize(637, 581);
    window.show();
    return app.exec();
}
