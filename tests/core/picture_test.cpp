#include "picture/picture.h"
#include "platform/gdi.h"

#include <gtest/gtest.h>

TEST(Picture, StartsEmptyAndDrawsNothing)
{
    CPicture picture;
    EXPECT_FALSE(picture.HasImage());
    EXPECT_EQ(picture.Draw(nullptr, 0, 0, 10, 10, 0, 0, 10, 10, 0), 0);
}
