// A 24-bit CPicture of the generator's photograph, made once per size and
// kept for the life of the benchmark program.
#pragma once

#include "picture/picture.h"
#include "tools/samplegen/photo.h"

#include <cstring>
#include <map>
#include <utility>

inline CPicture& PhotoPicture(int width, int height)
{
    static std::map<std::pair<int, int>, CPicture*> pictures;
    CPicture*& picture = pictures[{width, height}];
    if (!picture) {
        picture = new CPicture;
        picture->CreateDib(width, height, 24, 1);
        const auto rows = MakePhotoRows(width, height);
        std::memcpy(picture->GetBits(), rows.data(), rows.size());
    }
    return *picture;
}
