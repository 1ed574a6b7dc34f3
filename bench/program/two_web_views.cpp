// Two web views of the ad panes' sizes and places, in a window of the program's size, loading the
// two pages given on the command line: the web engine's own floor for the program's memory.
// Nothing of the program's engine settings: the engine's defaults throughout.
//
//   bench_two_web_views <first page URL> <second page URL>

#include <QApplication>
#include <QWebEngineView>
#include <QWidget>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // The only thing the engine needs to start at all as root: its sandbox cannot run there.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const QStringList pages = app.arguments().mid(1);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Two web views"));
    window.resize(637, 581);
    const QRect places[] = {{360, 152, 201, 121}, {560, 152, 57, 121}};
    for (int i = 0; i < 2; ++i) {
        auto *view = new QWebEngineView(&window);
        view->setGeometry(places[i]);
        view->load(QUrl(pages.value(i)));
    }
    window.show();
    return app.exec();
}
