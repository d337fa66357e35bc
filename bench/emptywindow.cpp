// The baseline of bench_startup: an empty Qt Widgets window of the main
// window's fixed size, from the same Qt, with nothing else linked.
// With --text it shows one line of text, which loads the fonts: what any
// window with a caption pays before it draws.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool text = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QWidget window;
    window.setWindowTitle(QStringLiteral("empty window"));
    window.setFixedSize(754, 588);
    if (text)
        new QLabel(QStringLiteral("Command Done."), &window);
    window.show();
    return app.exec();
}
