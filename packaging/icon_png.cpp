// Build-time helper: the icon themes of Linux desktops take PNG, not ICO, so the program icon
// is written out as a PNG of each size the package installs.
//
//   ticora-icon-png <icon.ico> <out.png> <size>
//
// The artwork is 32 x 32 pixel art; larger sizes are whole multiples, scaled without
// smoothing so the pixels stay sharp.

#include <QCoreApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool sizeOk = false;
    const int size = args.size() == 4 ? args[3].toInt(&sizeOk) : 0;
    if (!sizeOk || size <= 0) {
        std::fprintf(stderr, "usage: ticora-icon-png <icon.ico> <out.png> <size>\n");
        return 2;
    }
    const QImage icon(args[1]);
    if (icon.isNull() || icon.width() != icon.height() || size % icon.width() != 0) {
        std::fprintf(stderr, "ticora-icon-png: %s is no square icon that scales to %d px\n",
                     qUtf8Printable(args[1]), size);
        return 1;
    }
    const QImage scaled = icon.scaled(size, size, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (!scaled.save(args[2], "PNG")) {
        std::fprintf(stderr, "ticora-icon-png: cannot write %s\n", qUtf8Printable(args[2]));
        return 1;
    }
    return 0;
}
