// PCX reader on the raw buffer, as LoadFile hands it over.
#include "fuzz_common.h"
#include "picture/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilenceMessages();
    CPicture picture;
    if (picture.ReadPcx(data, size, 1))
        TouchPictureEnds(picture);
    return 0;
}
