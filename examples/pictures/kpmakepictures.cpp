// kp-make-pictures DIR: draws the pictures the example scripts show
// (picture-a.png, picture-b.png, picture-c.png, 640 x 360) into DIR.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>

namespace {

struct Picture
{
    const char *name;
    QColor top;
    QColor bottom;
    const char *label;
};

QImage draw(const Picture &picture)
{
    QImage image(640, 360, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, 360);
    gradient.setColorAt(0, picture.top);
    gradient.setColorAt(1, picture.bottom);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::white, 6));
    painter.drawEllipse(QPoint(480, 180), 110, 110);
    QFont font = painter.font();
    font.setPixelSize(160);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(380, 70, 200, 220), Qt::AlignCenter, QString::fromLatin1(picture.label));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kp-make-pictures DIR\n");
        return 2;
    }
    // Text needs fonts, which need a GUI application; offscreen needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "kp-make-pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    const Picture pictures[] = {
        {"picture-a.png", QColor(30, 90, 200), QColor(120, 190, 250), "A"},
        {"picture-b.png", QColor(20, 130, 60), QColor(150, 220, 120), "B"},
        {"picture-c.png", QColor(200, 90, 20), QColor(250, 200, 90), "C"},
    };
    for (const Picture &picture : pictures) {
        const QString path = dir.filePath(QString::fromLatin1(picture.name));
        if (!draw(picture).save(path, "PNG")) {
            std::fprintf(stderr, "kp-make-pictures: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
