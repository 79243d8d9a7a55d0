// Loads any input under each extension and saves what loaded in every format
// that can be written, then reads the BMP, TGA, PCX and PNG back.
#include "formats/save.h"
#include "fuzz_common.h"
#include "picture/picture.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilenceMessages();
    // Keep the writers' work small: a large picture proves nothing more (the
    // reader targets take those). At 8 K pixels the quantizer still reduces
    // thousands of colours and the LZW writer still fills its 4096 codes.
    SetDibPixelLimit(8 << 10);
    if (size > 64 * 1024)
        return 0;
    static const PictureFormat kFormats[] = {PictureFormat::Bmp, PictureFormat::Tga,  PictureFormat::Pcx,
                                             PictureFormat::Jpeg, PictureFormat::Gif, PictureFormat::Png,
                                             PictureFormat::Webp};
    // A file with a signature is loaded under its own name and under one
    // foreign name, which its own reader takes over; every other foreign
    // name would only repeat that.
    const PictureFormat signature = FormatFromSignature(data, size);
    bool foreignTried = false;
    std::string source = WriteScratch("in", data, size);
    for (PictureFormat in : kFormats) {
        const bool foreign = signature != PictureFormat::Unknown && signature != in;
        if (foreign && foreignTried)
            continue;
        foreignTried = foreignTried || foreign;
        const std::string named = ScratchDir() + "/in" + FormatExtension(in);
        std::rename(source.c_str(), named.c_str());
        source = named;
        CPicture picture;
        if (!picture.LoadFile(source, 1, 0) || foreign)
            continue;
        picture.MarkBitsBorrowed();
        for (PictureFormat out : kFormats) {
            if (!CanSave(out))
                continue;
            const std::string target = ScratchDir() + "/out" + FormatExtension(out);
            if (SavePicture(picture, target, out) && out != PictureFormat::Jpeg && out != PictureFormat::Gif) {
                CPicture back;
                back.LoadFile(target, 1, 0);
            }
            std::remove(target.c_str());
        }
        picture.ReleaseImage();
    }
    return 0;
}
