// JPEG codec through the path it is given by LoadFile.
#include "fuzz_common.h"
#include "picture/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilenceMessages();
    const std::string path = WriteScratch("input.jpg", data, size);
    CPicture picture;
    if (picture.LoadFile(path, 1, 0))
        picture.MarkBitsBorrowed();
    picture.ReleaseImage();
    return 0;
}
