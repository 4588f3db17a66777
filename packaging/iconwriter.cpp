// Build tool: renders the window's icon into the hicolor theme's fixed sizes, so the menu
// entry shows the very drawing the window carries.
//     qj-iconwriter DIR SIZE...     writes DIR/<SIZE>x<SIZE>/apps/qj-panel.png
#include "panel/appicon.h"

#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR SIZE...\n", argv[0]);
        return 2;
    }
    const QString top = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int side = QByteArray(argv[i]).toInt(&ok);
        if (!ok || side < 16 || side > 512) {
            std::fprintf(stderr, "%s: not an icon size: %s\n", argv[0], argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(top).arg(side);
        const QString file = dir + QStringLiteral("/qj-panel.png");
        if (!QDir().mkpath(dir) || !qj::appIconImage(side).save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    return 0;
}
