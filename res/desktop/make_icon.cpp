// make_icon SIZE OUT.png: renders the application icon for the icon theme.
#include "res/artwork.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: make_icon SIZE OUT.png\n");
        return 2;
    }
    return res::AppIconImage(size).save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
