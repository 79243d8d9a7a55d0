// PNG reader on the raw buffer, as LoadFile hands it over.
#include "fuzz_common.h"
#include "picture/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilenceMessages();
    CPicture picture;
    if (picture.ReadPng(data, size) && picture.GetBits()) {
        volatile BYTE sum = 0;
        for (int row = 0; row < picture.GetHeight(); ++row)
            sum = BYTE(sum + picture.GetRow(row)[picture.GetRowBytes() - 1]);
    }
    return 0;
}
