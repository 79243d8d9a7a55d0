#include "formats/folderlist.h"
#include "platform/folder.h"

#include "test_util.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

void Touch(const std::string& path)
{
    WriteFileBytes(path, {});
}

} // namespace

TEST(Folder, NaturalOrder)
{
    EXPECT_EQ(Sorted({"pic11.bmp", "pic2.bmp", "Pic1.bmp", "pic10.bmp"}),
              (std::vector<std::string>{"Pic1.bmp", "pic2.bmp", "pic10.bmp", "pic11.bmp"}));
    // Letter case does not order; leading zeros do not change a number's value;
    // ties fall back to the bytes so that the order is total.
    EXPECT_EQ(Sorted({"b", "A", "a", "B"}), (std::vector<std::string>{"A", "a", "B", "b"}));
    EXPECT_EQ(Sorted({"x2", "x002", "x02", "x1"}), (std::vector<std::string>{"x1", "x002", "x02", "x2"}));
    EXPECT_LT(NaturalCompare("a", "a0"), 0);
    EXPECT_LT(NaturalCompare("a9", "a10"), 0);
    EXPECT_LT(NaturalCompare("99999999999999999999", "100000000000000000000"), 0); // longer than any integer
    EXPECT_LT(NaturalCompare("img 2", "img 10a"), 0);
    EXPECT_EQ(NaturalCompare("same", "same"), 0);
    // Bytes above ASCII compare as bytes and after every ASCII letter.
    EXPECT_LT(NaturalCompare("zebra", "照片"), 0);
}

TEST(Folder, ListsPicturesOfThePathsFolderInNaturalOrder)
{
    TempDir dir;
    for (const char* name : {"c.Gif", "b.txt", "a.JPG", "d", "e.jpeg.txt", "f.TGA", "g.pcx", "h.Jpeg", ".hidden.bmp"})
        Touch(dir.File(name));
    std::filesystem::create_directory(dir.File("sub.bmp"));
    std::filesystem::create_directory_symlink(dir.File("sub.bmp"), dir.File("link.gif"));
    std::filesystem::create_symlink(dir.File("a.JPG"), dir.File("alias.bmp"));

    std::vector<std::string> files;
    bool over = true;
    ListPictureFiles(dir.File("a.JPG"), 500, files, over);
    EXPECT_FALSE(over);
    const std::string f = dir.Path() + "/";
    EXPECT_EQ(files, (std::vector<std::string>{f + ".hidden.bmp", f + "a.JPG", f + "alias.bmp", f + "c.Gif",
                                               f + "f.TGA", f + "g.pcx", f + "h.Jpeg"}));

    // The folder part is kept exactly as the path spells it.
    ListPictureFiles(dir.Path() + "//./a.JPG", 500, files, over);
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files[0], dir.Path() + "//./.hidden.bmp");

    ListPictureFiles(dir.File("missing/x.bmp"), 500, files, over);
    EXPECT_TRUE(files.empty());
    EXPECT_FALSE(over);
}

TEST(Folder, LimitCountsEntriesAfterTheLastListedPicture)
{
    TempDir dir;
    char name[32];
    for (int i = 1; i <= 5; ++i) {
        std::snprintf(name, sizeof name, "p%d.bmp", i);
        Touch(dir.File(name));
    }
    Touch(dir.File("a.txt")); // before the pictures: no effect on the limit
    std::vector<std::string> files;
    bool over = true;
    ListPictureFiles(dir.File("p1.bmp"), 5, files, over);
    EXPECT_EQ(files.size(), 5u);
    EXPECT_FALSE(over);

    // Any entry after the fifth picture, a text file or a folder, counts.
    Touch(dir.File("z.txt"));
    ListPictureFiles(dir.File("p1.bmp"), 5, files, over);
    EXPECT_EQ(files.size(), 5u);
    EXPECT_TRUE(over);
    std::filesystem::remove(dir.File("z.txt"));
    std::filesystem::create_directory(dir.File("zz"));
    ListPictureFiles(dir.File("p1.bmp"), 5, files, over);
    EXPECT_TRUE(over);

    ListPictureFiles(dir.File("p1.bmp"), 4, files, over);
    EXPECT_EQ(files.back(), dir.File("p4.bmp"));
    EXPECT_TRUE(over);
}
