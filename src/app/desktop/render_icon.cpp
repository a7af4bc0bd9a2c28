// Renders the application's SVG icon as PNG files of the sizes a desktop icon theme looks for.
// Usage: render_icon SVG OUT-FOLDER SIZE...   (writes OUT-FOLDER/<size>.png)
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon SVG OUT-FOLDER SIZE...\n");
        return 2;
    }
    QGuiApplication App(argc, argv);
    QSvgRenderer Renderer(QString::fromLocal8Bit(argv[1]));
    if (!Renderer.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString Out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(Out);
    for (int I = 3; I < argc; ++I) {
        const int Size = QString::fromLocal8Bit(argv[I]).toInt();
        if (Size <= 0)
            return 2;
        QImage Image(Size, Size, QImage::Format_ARGB32_Premultiplied);
        Image.fill(Qt::transparent);
        QPainter Painter(&Image);
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.setRenderHint(QPainter::SmoothPixmapTransform);
        Renderer.render(&Painter);
        Painter.end();
        const QString Path = Out + QStringLiteral("/%1.png").arg(Size);
        if (!Image.save(Path, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(Path));
            return 1;
        }
    }
    return 0;
}
