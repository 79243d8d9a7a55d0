// korvex-convert: the picture readers and writers without a display.
//   korvex-convert [--rotate N] IN OUT
//                               convert by OUT's extension, first turning
//                               the picture N degrees clockwise (90, 180, 270)
//   korvex-convert --info IN    print "WIDTH HEIGHT BITCOUNT COLOURS FILESIZE"
// Messages the viewer would show in a message box go to standard error.
// Exit status: 0 success, 1 refused or not written, 2 bad arguments.
#include "formats/messages.h"
#include "formats/safefile.h"
#include "formats/save.h"
#include "picture/picture.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: korvex-convert [--rotate N] IN OUT\n"
                 "       korvex-convert --info IN\n"
                 "Reads BMP, TGA, PCX, JPEG, GIF, PNG and WebP; writes by OUT's\n"
                 "extension (.bmp .tga .pcx .jpg .jpeg .gif .png). --rotate turns the picture\n"
                 "N degrees clockwise first; N is 90, 180 or 270.\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    SetMessageSink([](const std::string& text, const std::string& caption, MessageIcon) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    });
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        Usage();
        return 0;
    }
    int quarterTurns = 0;
    if (argc == 5 && !std::strcmp(argv[1], "--rotate")) {
        const std::string degrees = argv[2];
        if (degrees == "90")
            quarterTurns = 1;
        else if (degrees == "180")
            quarterTurns = 2;
        else if (degrees == "270")
            quarterTurns = 3;
        else {
            std::fprintf(stderr, "korvex-convert: --rotate %s: the angle must be 90, 180 or 270\n", argv[2]);
            return 2;
        }
        argv += 2;
        argc -= 2;
    }
    if (argc != 3)
        return Usage();

    CPicture picture;
    if (!quarterTurns && !std::strcmp(argv[1], "--info")) {
        if (!picture.LoadFile(argv[2], 1, 0) || !picture.HasImage()) {
            std::fprintf(stderr, "korvex-convert: %s: not a picture that can be read\n", argv[2]);
            return 1;
        }
        std::printf("%d %d %d %d %lu\n", picture.GetWidth(), picture.GetHeight(), picture.GetBitCount(),
                    picture.GetColorCount(), static_cast<unsigned long>(picture.m_nFileSize));
        return 0;
    }
    if (argv[1][0] == '-' && argv[1][1] != '\0')
        return Usage();

    const std::string in = argv[1];
    const std::string out = argv[2];
    const PictureFormat format = FormatFromPath(out);
    if (!CanSave(format)) {
        std::fprintf(stderr, "korvex-convert: %s: unknown output type (use .bmp .tga .pcx .jpg .gif .png)\n",
                     out.c_str());
        return 2;
    }
    if (!picture.LoadFile(in, 1, 0) || !picture.HasImage()) {
        std::fprintf(stderr, "korvex-convert: %s: not a picture that can be read\n", in.c_str());
        return 1;
    }
    picture.MarkBitsBorrowed();
    for (int i = 0; i < quarterTurns; ++i) {
        if (!picture.RotateClockwise()) {
            std::fprintf(stderr, "korvex-convert: %s: the picture cannot be rotated (out of memory?)\n",
                         in.c_str());
            return 1;
        }
    }
    ClearSaveFailure();
    if (!SavePicture(picture, out, format)) {
        std::fprintf(stderr, "korvex-convert: %s: 保存文件失败! %s\n", out.c_str(), LastSaveFailure().c_str());
        return 1;
    }
    return 0;
}
