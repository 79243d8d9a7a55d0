#include "dib_util.h"
#include "formats/gifcodec.h"
#include "test_util.h"
#include "picture/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string WriteTemp(const std::vector<BYTE>& bytes)
{
    char name[] = "/tmp/korvex_gif_XXXXXX";
    const int fd = mkstemp(name);
    std::FILE* f = fdopen(fd, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return name;
}

// 1 x 1 (or w x h) image, 2-entry global table red/green, codes
// clear,1,1,6,end (four pixels of index 1) at code size 2.
std::vector<BYTE> SmallGif(const char* version, BYTE aspect, int w, int h, bool interlaced)
{
    std::vector<BYTE> g = {'G', 'I', 'F', BYTE(version[0]), BYTE(version[1]), BYTE(version[2]), BYTE(w), 0, BYTE(h), 0,
                           0x80, 0, aspect, 255, 0, 0, 0, 255, 0};
    // a comment extension before the image
    for (BYTE b : std::vector<BYTE>{0x21, 0xFE, 2, 'h', 'i', 0})
        g.push_back(b);
    for (BYTE b : std::vector<BYTE>{',', 0, 0, 0, 0, BYTE(w), 0, BYTE(h), 0, BYTE(interlaced ? 0x40 : 0), 2, 2, 0x4C, 0x5C, 0, ';'})
        g.push_back(b);
    return g;
}

} // namespace

TEST(GifRead, FirstImageBecomesBottomUpDib)
{
    for (const char* v : {"87a", "89a"}) {
        const std::string path = WriteTemp(SmallGif(v, 0, 1, 1, false));
        GifCodec codec;
        ASSERT_EQ(codec.Load(path), 1) << codec.GetLastError();
        ASSERT_NE(codec.GetDib(), nullptr);
        EXPECT_EQ(codec.GetDib()->GetRowBytes(), 4);
        const BYTE* px = codec.GetDib()->GetBits();
        EXPECT_EQ(px[0], 0);
        EXPECT_EQ(px[1], 255);
        EXPECT_EQ(px[2], 0);
        EXPECT_EQ(codec.GetLastError(), "No Error");
        std::remove(path.c_str());
    }
}

TEST(GifRead, WarningsAndRefusals)
{
    GifCodec codec;
    std::string path = WriteTemp(SmallGif("89a", 7, 1, 1, false));
    EXPECT_EQ(codec.Load(path), 1);
    EXPECT_EQ(codec.GetLastError(), "Non-square pixels in GIF image.\nIgnoring that fact...");
    std::remove(path.c_str());

    path = WriteTemp(SmallGif("88a", 0, 1, 1, false));
    EXPECT_EQ(codec.Load(path), 0);
    EXPECT_EQ(codec.GetLastError(), "Error, Bad GIF Version number");
    std::remove(path.c_str());

    std::vector<BYTE> g = SmallGif("89a", 0, 1, 1, false);
    g.resize(19); // screen and table only
    path = WriteTemp(g);
    EXPECT_EQ(codec.Load(path), 0);
    EXPECT_EQ(codec.GetLastError(), "Unexpected EOF in GIF.\nGiving up");
    std::remove(path.c_str());

    path = WriteTemp(SmallGif("89a", 0, 0, 1, false));
    EXPECT_EQ(codec.Load(path), 0);
    std::remove(path.c_str());
}

// Four pixels on a 1 x 4 picture land in every row whether interlaced or not.
TEST(GifRead, InterlacedFillsEveryRow)
{
    const std::string path = WriteTemp(SmallGif("89a", 0, 1, 4, true));
    GifCodec codec;
    ASSERT_EQ(codec.Load(path), 1);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(codec.GetDib()->GetBits()[row * 4 + 1], 255) << row;
    std::remove(path.c_str());
}

// ---------------------------------------------------------------------------
// Files built byte by byte from colour indices. The codes stay at one width:
// a clear comes before the table would grow, so every index is its own code.

namespace {

struct GifImageSpec {
    int width = 1;
    int height = 1;
    bool interlaced = false;
    std::vector<Rgb> local;     // empty: no local table
    int codeSize = 2;
    std::vector<int> indices;   // in stream order
    bool terminate = true;      // the end code and the zero-length sub-block
};

Bytes LzwCodes(const GifImageSpec& image)
{
    const int clear = 1 << image.codeSize;
    const int width = image.codeSize + 1;
    Bytes out;
    std::uint32_t acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= std::uint32_t(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
            out.push_back(BYTE(acc));
    };
    int sinceClear = 0;
    put(clear);
    for (int index : image.indices) {
        if (sinceClear == clear - 2) {
            put(clear);
            sinceClear = 0;
        }
        put(index);
        ++sinceClear;
    }
    if (image.terminate)
        put(clear + 1);
    if (bits > 0)
        out.push_back(BYTE(acc));
    return out;
}

void PutTable(Bytes& g, const std::vector<Rgb>& table)
{
    for (const Rgb& c : table)
        g.insert(g.end(), c.begin(), c.end());
}

int TableBits(const std::vector<Rgb>& table)
{
    int bits = 0;
    while ((2 << bits) < int(table.size()))
        ++bits;
    return bits;
}

// A GIF file: screen, optional global table, any extensions, the images.
Bytes MakeGif(const std::vector<Rgb>& global, const std::vector<GifImageSpec>& images, const Bytes& extensions = {},
              const char* version = "89a")
{
    Bytes g = {'G', 'I', 'F', BYTE(version[0]), BYTE(version[1]), BYTE(version[2])};
    Put16(g, unsigned(images.empty() ? 1 : images[0].width));
    Put16(g, unsigned(images.empty() ? 1 : images[0].height));
    g.push_back(global.empty() ? 0 : BYTE(0x80 | TableBits(global)));
    g.push_back(0);
    g.push_back(0);
    PutTable(g, global);
    g.insert(g.end(), extensions.begin(), extensions.end());
    for (const GifImageSpec& image : images) {
        g.push_back(',');
        Put16(g, 0);
        Put16(g, 0);
        Put16(g, unsigned(image.width));
        Put16(g, unsigned(image.height));
        BYTE flags = image.interlaced ? 0x40 : 0;
        if (!image.local.empty())
            flags |= BYTE(0x80 | TableBits(image.local));
        g.push_back(flags);
        PutTable(g, image.local);
        g.push_back(BYTE(image.codeSize));
        const Bytes codes = LzwCodes(image);
        for (std::size_t at = 0; at < codes.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
            g.push_back(BYTE(n));
            g.insert(g.end(), codes.begin() + long(at), codes.begin() + long(at + n));
        }
        if (image.terminate)
            g.push_back(0);
    }
    g.push_back(';');
    return g;
}

std::vector<Rgb> Ramp(int n)
{
    std::vector<Rgb> table;
    for (int i = 0; i < n; ++i)
        table.push_back(Rgb{BYTE(i * 3), BYTE(200 - i), BYTE(i * 11)});
    return table;
}

// Loads through Load and through ReadGif and checks both agree.
std::vector<Rgb> LoadGif(const Bytes& file, int* width = nullptr, int* height = nullptr, std::string* error = nullptr)
{
    TempDir dir;
    const std::string path = dir.File("t.gif");
    WriteFileBytes(path, file);
    GifCodec codec;
    const int loaded = codec.Load(path);
    if (error)
        *error = codec.GetLastError();
    if (!loaded)
        return {};
    const CDib& dib = *codec.GetDib();
    std::vector<Rgb> px;
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x)
            px.push_back(PixelOf(dib, x, y));
    int w = 0, h = 0;
    BYTE* rgb = GifCodec().ReadGif(path, &w, &h);
    EXPECT_NE(rgb, nullptr);
    EXPECT_EQ(w, dib.GetWidth());
    EXPECT_EQ(h, dib.GetHeight());
    for (std::size_t i = 0; rgb && i < px.size(); ++i)
        EXPECT_EQ((Rgb{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]}), px[i]) << "pixel " << i;
    std::free(rgb);
    if (width)
        *width = w;
    if (height)
        *height = h;
    return px;
}

const Rgb kBlack{0, 0, 0};

} // namespace

// Rows of an interlaced image arrive in four passes; each height from 1 to 9
// gives the same picture as its plain twin.
TEST(GifRead, InterlacedImagesMatchTheirPlainTwins)
{
    for (int h = 1; h <= 9; ++h) {
        const int w = 3;
        GifImageSpec plain;
        plain.width = w;
        plain.height = h;
        plain.codeSize = 4;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plain.indices.push_back((y + x) % 16);
        GifImageSpec interlaced = plain;
        interlaced.interlaced = true;
        interlaced.indices.clear();
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < h; y += kStep[pass])
                for (int x = 0; x < w; ++x)
                    interlaced.indices.push_back((y + x) % 16);
        const std::vector<Rgb> a = LoadGif(MakeGif(Ramp(16), {plain}));
        const std::vector<Rgb> b = LoadGif(MakeGif(Ramp(16), {interlaced}));
        ASSERT_EQ(a.size(), std::size_t(w * h)) << h;
        EXPECT_EQ(a, b) << "height " << h;
        EXPECT_EQ(a.back(), Ramp(16)[std::size_t((h - 1 + w - 1) % 16)]);
    }
}

// The local table wins over the global one; an animation shows its first
// image; extensions before it (graphic control with transparency, an
// application block) change nothing.
TEST(GifRead, TablesExtensionsAndTheFirstImageOnly)
{
    GifImageSpec first;
    first.width = 2;
    first.height = 1;
    first.indices = {0, 3};
    first.local = {Rgb{1, 2, 3}, Rgb{4, 5, 6}, Rgb{7, 8, 9}, Rgb{10, 11, 12}};
    GifImageSpec second = first;
    second.local.clear();
    second.indices = {1, 1};
    const Bytes extensions = {0x21, 0xF9, 4, 0x01, 10, 0, 3, 0,                             // transparent index 3
                              0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    const std::vector<Rgb> px = LoadGif(MakeGif(Ramp(4), {first, second}, extensions));
    EXPECT_EQ(px, (std::vector<Rgb>{Rgb{1, 2, 3}, Rgb{10, 11, 12}}));

    first.local.clear();
    EXPECT_EQ(LoadGif(MakeGif(Ramp(4), {first}, {}, "87a")), (std::vector<Rgb>{Ramp(4)[0], Ramp(4)[3]}));
}

// Without any table the indices are a grey ramp over the code size's
// colours; an index past the table in use draws entry 0, also one above 255
// at a code size of 9.
TEST(GifRead, NoTableGreyRampAndIndicesPastTheTable)
{
    GifImageSpec image;
    image.width = 4;
    image.indices = {0, 1, 2, 3};
    EXPECT_EQ(LoadGif(MakeGif({}, {image})),
              (std::vector<Rgb>{Rgb{0, 0, 0}, Rgb{85, 85, 85}, Rgb{170, 170, 170}, Rgb{255, 255, 255}}));

    const std::vector<Rgb> two = {Rgb{9, 9, 9}, Rgb{50, 60, 70}};
    image.indices = {1, 3, 2, 1};
    EXPECT_EQ(LoadGif(MakeGif(two, {image})), (std::vector<Rgb>{two[1], two[0], two[0], two[1]}));

    image.codeSize = 9;
    image.indices = {1, 300, 511, 255};
    const std::vector<Rgb> full = Ramp(256);
    EXPECT_EQ(LoadGif(MakeGif(full, {image})), (std::vector<Rgb>{full[1], full[0], full[0], full[255]}));
}

// A stream that ends early leaves the rest black, whether the data stops, a
// code points past the table or the end code comes first; a clear right after
// a clear goes on decoding.
TEST(GifRead, ShortStreamsLeaveTheRestBlack)
{
    const std::vector<Rgb> table = Ramp(4);
    GifImageSpec image;
    image.width = 3;
    image.height = 2;
    image.indices = {1, 2, 3};
    EXPECT_EQ(LoadGif(MakeGif(table, {image})),
              (std::vector<Rgb>{table[1], table[2], table[3], kBlack, kBlack, kBlack}));
    image.terminate = false;
    EXPECT_EQ(LoadGif(MakeGif(table, {image})),
              (std::vector<Rgb>{table[1], table[2], table[3], kBlack, kBlack, kBlack}));

    // clear 1 clear clear 2 end, at 3 bits: codes 4 1 4 4 2 5
    Bytes g = MakeGif(table, {GifImageSpec{}});
    g.resize(g.size() - 5); // code size, one sub-block of one byte, terminator, trailer
    const Bytes stream = {2, 3, 0x0C, 0xA9, 0x02, 0, ';'};
    g.insert(g.end(), stream.begin(), stream.end());
    g[13 + 12 + 5] = 2; // the image is 2 x 1
    EXPECT_EQ(LoadGif(g), (std::vector<Rgb>{table[1], table[2]}));
}

TEST(GifRead, MalformedFilesAreRefusedWithTheirTexts)
{
    GifImageSpec image;
    image.indices = {1};
    std::string error;
    for (int codeSize : {1, 12}) {
        Bytes g = MakeGif(Ramp(4), {image});
        g[13 + 12 + 10] = BYTE(codeSize);
        EXPECT_TRUE(LoadGif(g, nullptr, nullptr, &error).empty());
        EXPECT_EQ(error, "Error reading GIF file\nGIFScreen Colormap\nGiving up") << codeSize;
    }
    image.local = Ramp(2);
    Bytes g = MakeGif(Ramp(4), {image});
    g[13 + 12 + 10 + 6] = 12;
    EXPECT_TRUE(LoadGif(g, nullptr, nullptr, &error).empty());
    EXPECT_EQ(error, "Error reading GIF file\nLocalColorMap\nGiving up");

    for (auto [w, h] : {std::pair{0, 1}, std::pair{1, 0}}) {
        image.width = w;
        image.height = h;
        EXPECT_TRUE(LoadGif(MakeGif(Ramp(4), {image}), nullptr, nullptr, &error).empty());
        EXPECT_EQ(error, "Error on dimension read\nGiving up");
    }
    g = MakeGif(Ramp(4), {});
    EXPECT_TRUE(LoadGif(g, nullptr, nullptr, &error).empty());
    EXPECT_EQ(error, "Unexpected EOF in GIF.\nGiving up");
    g = {'G', 'I', 'F', '8', '9', 'a', 1, 0};
    EXPECT_TRUE(LoadGif(g, nullptr, nullptr, &error).empty());
    EXPECT_EQ(error, "Error, failed to GIF read screen descriptor.\nGiving up");
}

// The end code, then the data ends without the zero-length sub-block: the
// picture loads and the warning is shown once.
TEST(GifRead, EndCodeWithoutTerminatorWarns)
{
    std::vector<BYTE> g = SmallGif("89a", 0, 3, 2, false);
    TempDir dir;
    WriteFileBytes(dir.File("whole.gif"), g);
    g.resize(g.size() - 2); // the zero-length sub-block and the trailer
    WriteFileBytes(dir.File("cut.gif"), g);
    MessageRecorder rec;
    GifCodec whole, cut;
    ASSERT_EQ(whole.Load(dir.File("whole.gif")), 1);
    EXPECT_TRUE(rec.messages.empty());
    ASSERT_EQ(cut.Load(dir.File("cut.gif")), 1);
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Missing EOD in GIF data stream (common occurrence)"}));
}
