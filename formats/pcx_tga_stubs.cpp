// Placeholders until the PCX and TGA readers and writers land.
#include "picture/picture.h"

int CPicture::ReadPcx(const BYTE*, std::size_t, int)
{
    return 0;
}
int CPicture::WritePcx(const std::string&, CDib*)
{
    return 0;
}
int CPicture::ReadTga(const BYTE*, std::size_t, int)
{
    return 0;
}
int CPicture::WriteTga(const std::string&)
{
    return 0;
}
