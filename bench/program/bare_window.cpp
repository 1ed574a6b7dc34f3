// A bare Qt window of the program's size: the reference for how soon a window can be mapped.
// With the argument "text" it shows one line of text too, and so reads the desktop's font
// configuration before it maps, as every window that draws text does; the bare one never does.

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.resize(637, 581);
    if (argc > 1 && std::strcmp(argv[1], "text") == 0)
        new QLabel(QStringLiteral("Tarvoni Radio Player"), &window);
    window.show();
    return app.exec();
}
