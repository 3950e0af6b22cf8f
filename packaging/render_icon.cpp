// Writes the program icon as PNG files for the hicolor theme:
//   quillfen_render_icon <output dir> <size>...
// gives <output dir>/<size>x<size>/quillfen.png for every size.
#include <QDir>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "packaging/icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <output dir> <size>...\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0' || size < 1 || size > 1024) {
            std::fprintf(stderr, "%s: not an icon size: %s\n", argv[0], argv[i]);
            return 2;
        }
        const QString dir = root + QStringLiteral("/%1x%1").arg(size);
        const QString file = dir + QStringLiteral("/quillfen.png");
        // A failed write must fail the build, not leave a stale or missing icon to be installed.
        if (!QDir().mkpath(dir) || !quillfen::packaging::RenderIcon(int(size)).save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    return 0;
}
