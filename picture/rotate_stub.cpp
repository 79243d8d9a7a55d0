// Placeholder until rotation lands.
#include "picture/picture.h"

int CPicture::RotateClockwise()
{
    return 0;
}
