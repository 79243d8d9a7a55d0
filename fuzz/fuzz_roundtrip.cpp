// Loads any input under each extension and saves what loaded in every format
// that can be written, then reads the BMP, TGA, PCX and PNG back.
#include "formats/save.h"
#include "fuzz_common.h"
#include "picture/picture.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilenceMessages();
    // Keep the writers' work small: a huge picture proves nothing more.
    if (size > 64 * 1024)
        return 0;
    static const PictureFormat kFormats[] = {PictureFormat::Bmp, PictureFormat::Tga,  PictureFormat::Pcx,
                                             PictureFormat::Jpeg, PictureFormat::Gif, PictureFormat::Png,
                                             PictureFormat::Webp};
    // A file with a signature loads under a foreign name through its own
    // reader again; that picture was saved already under its own name.
    const PictureFormat signature = FormatFromSignature(data, size);
    std::string source = WriteScratch("in", data, size);
    for (PictureFormat in : kFormats) {
        const std::string named = ScratchDir() + "/in" + FormatExtension(in);
        std::rename(source.c_str(), named.c_str());
        source = named;
        CPicture picture;
        if (!picture.LoadFile(source, 1, 0))
            continue;
        picture.MarkBitsBorrowed();
        const bool foreign = signature != PictureFormat::Unknown && signature != in;
        if (foreign || std::int64_t(picture.GetWidth()) * picture.GetHeight() > 64 << 10)
            continue;
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
