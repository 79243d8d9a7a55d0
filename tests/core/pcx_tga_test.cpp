#include "formats/save.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

namespace {

Bytes PcxHeader(int version, int bits, int planes, int width, int height, int bytesPerLine, int paletteInfo = 1)
{
    Bytes h(128, 0);
    h[0] = 10;
    h[1] = std::uint8_t(version);
    h[2] = 1;
    h[3] = std::uint8_t(bits);
    h[8] = std::uint8_t(width - 1);
    h[9] = std::uint8_t((width - 1) >> 8);
    h[10] = std::uint8_t(height - 1);
    h[11] = std::uint8_t((height - 1) >> 8);
    h[65] = std::uint8_t(planes);
    h[66] = std::uint8_t(bytesPerLine);
    h[67] = std::uint8_t(bytesPerLine >> 8);
    h[68] = std::uint8_t(paletteInfo);
    return h;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::array<int, 3> Rgb(const CPicture& p, int x, int yFromTop)
{
    const BYTE* row = p.GetRow(p.GetHeight() - 1 - yFromTop);
    if (p.GetBitCount() == 24)
        return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    int index = 0;
    if (p.GetBitCount() == 8)
        index = row[x];
    else if (p.GetBitCount() == 4)
        index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    else
        index = (row[x / 8] >> (7 - x % 8)) & 1;
    const RGBQUAD c = p.GetColorTable()[index];
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
}

} // namespace

TEST(Pcx, EightBitWithEndPaletteAndRunsAcrossRows)
{
    // 3 x 2: a run of 4 bytes of index 1 crosses from the top row into the
    // next, then two literals.
    Bytes data = {0xC4, 0x01, 0x02, 0x00};
    Bytes palette(769, 0);
    palette[0] = 0x0C;
    palette[1 + 3] = 10; // entry 1 = (10, 20, 30)
    palette[2 + 3] = 20;
    palette[3 + 3] = 30;
    palette[1 + 6] = 255; // entry 2 red
    const Bytes file = Cat(Cat(PcxHeader(5, 8, 1, 3, 2, 3), data), palette);
    CPicture p;
    ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1);
    EXPECT_EQ(p.GetBitCount(), 8);
    EXPECT_EQ(Rgb(p, 2, 0), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(Rgb(p, 0, 1), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(Rgb(p, 1, 1), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(p.GetRow(0)[2], 0);
}

TEST(Pcx, TwentyFourBitPlanesRecombine)
{
    // 2 x 1, planes R, G, B of 2 bytes each.
    const Bytes data = {10, 11, 20, 21, 30, 31};
    const Bytes file = Cat(PcxHeader(5, 8, 3, 2, 1, 2), data);
    CPicture p;
    ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1);
    EXPECT_EQ(p.GetBitCount(), 24);
    EXPECT_EQ(Rgb(p, 0, 0), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(Rgb(p, 1, 0), (std::array<int, 3>{11, 21, 31}));
}

namespace {

// The run-length rule read one byte after another, over the whole image's
// rows as one stream; what the data does not reach is zero.
Bytes PlainRunDecode(const Bytes& data, std::size_t total)
{
    Bytes out;
    for (std::size_t i = 0; i < data.size() && out.size() < total;) {
        if (data[i] < 0xC0) {
            out.push_back(data[i++]);
        } else if (i + 1 < data.size()) {
            out.insert(out.end(), data[i] & 0x3F, data[i + 1]);
            i += 2;
        } else {
            break;
        }
    }
    out.resize(total, 0);
    return out;
}

// A photograph's mix of tokens, with long runs and empty ones among them.
Bytes RandomRuns(std::mt19937& rng, std::size_t tokens)
{
    Bytes data;
    for (std::size_t t = 0; t < tokens; ++t) {
        const unsigned kind = rng() % 100;
        if (kind < 70) {
            data.push_back(std::uint8_t(rng() % 0xC0));
        } else if (kind < 85) {
            data.push_back(0xC1);
            data.push_back(std::uint8_t(rng()));
        } else if (kind < 97) {
            data.push_back(std::uint8_t(0xC2 + rng() % 7));
            data.push_back(std::uint8_t(rng()));
        } else {
            data.push_back(std::uint8_t(0xC0 + rng() % 64)); // 0 to 63 copies
            data.push_back(std::uint8_t(rng()));
        }
    }
    return data;
}

} // namespace

TEST(Pcx, LongStreamsDecodeAsTheByteByByteRuleSays)
{
    // Rows long enough for the decoder's wide path, runs across row ends,
    // flags at every offset, and streams cut anywhere, even inside a run.
    std::mt19937 rng(5);
    for (const int width : {1, 15, 16, 17, 63, 100, 333}) {
        for (const bool full : {true, false}) {
            const int height = 9;
            const int bpl = width + (width % 2);
            const std::size_t total = std::size_t(3) * bpl * height;
            Bytes data = RandomRuns(rng, total);
            if (!full)
                data.resize(rng() % data.size());
            const Bytes want = PlainRunDecode(data, total);
            const Bytes file = Cat(PcxHeader(5, 8, 3, width, height, bpl), data);
            CPicture p;
            ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1) << width;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const std::size_t at = std::size_t(3) * bpl * y + x;
                    ASSERT_EQ(Rgb(p, x, y), (std::array<int, 3>{want[at], want[at + bpl], want[at + 2 * bpl]}))
                        << "width " << width << (full ? "" : " cut") << " at " << x << "," << y;
                }

            // One plane of 8 bits: the same stream before the end palette.
            const std::size_t total8 = std::size_t(bpl) * height;
            const Bytes want8 = PlainRunDecode(data, total8);
            Bytes palette(769, 0);
            palette[0] = 0x0C;
            const Bytes file8 = Cat(Cat(PcxHeader(5, 8, 1, width, height, bpl), data), palette);
            CPicture q;
            ASSERT_EQ(q.ReadPcx(file8.data(), file8.size(), 1), 1);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(q.GetRow(height - 1 - y)[x], want8[std::size_t(bpl) * y + x]) << width << " " << x << "," << y;
        }
    }
}

TEST(Pcx, MonochromeAndPlanarSixteenColours)
{
    Bytes h = PcxHeader(5, 1, 1, 8, 1, 2);
    h[16 + 3] = 200; // header entry 1 = (200, 100, 50)
    h[16 + 4] = 100;
    h[16 + 5] = 50;
    {
        const Bytes file = Cat(h, {0x0F, 0x00});
        CPicture p;
        ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1);
        EXPECT_EQ(Rgb(p, 7, 0), (std::array<int, 3>{200, 100, 50}));
        EXPECT_EQ(Rgb(p, 0, 0), (std::array<int, 3>{0, 0, 0}));
    }
    // Without a header palette (palette info 2, or version 3, which has
    // none) a monochrome file is black and white.
    for (const Bytes& h1 : {PcxHeader(5, 1, 1, 8, 1, 2, 2), PcxHeader(3, 1, 1, 8, 1, 2)}) {
        const Bytes file = Cat(h1, {0x01, 0x00});
        CPicture p;
        ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1);
        EXPECT_EQ(Rgb(p, 7, 0), (std::array<int, 3>{255, 255, 255}));
        EXPECT_EQ(Rgb(p, 0, 0), (std::array<int, 3>{0, 0, 0}));
    }
    {
        // 1 bit x 4 planes: pixel 0 has bits from planes 0 and 2 = index 5.
        Bytes planar = PcxHeader(5, 1, 4, 2, 1, 1);
        planar[16 + 15] = 77; // header entry 5 red
        const Bytes file = Cat(planar, {0x80, 0x00, 0x80, 0x40});
        CPicture p;
        ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1);
        EXPECT_EQ(p.GetBitCount(), 4);
        EXPECT_EQ(p.GetRow(0)[0], 0x58); // pixel 0 = 5, pixel 1 = 8
        EXPECT_EQ(Rgb(p, 0, 0)[0], 77);
    }
    {
        // 11 pixels in 3 planes of 2 bytes, the padding bits set: pixel x
        // takes bit 7 - x % 8 of byte x / 8 of each plane; the 5 padding
        // pixels of the last byte stay 0.
        const std::uint8_t planes[3][2] = {{0xA5, 0xFF}, {0x3C, 0xC3}, {0xF0, 0x5F}};
        Bytes data;
        for (const auto& plane : planes)
            for (std::uint8_t b : plane)
                data.insert(data.end(), {0xC1, b});
        const Bytes file = Cat(PcxHeader(5, 1, 3, 11, 1, 2), data);
        CPicture p;
        ASSERT_EQ(p.ReadPcx(file.data(), file.size(), 1), 1);
        for (int x = 0; x < 16; ++x) {
            int want = 0;
            for (int k = 0; k < 3 && x < 11; ++k)
                want |= ((planes[k][x / 8] >> (7 - x % 8)) & 1) << k;
            EXPECT_EQ((p.GetRow(0)[x / 2] >> (x % 2 ? 0 : 4)) & 15, want) << x;
        }
    }
}

TEST(Pcx, MalformedFilesAreRefusedOrBlack)
{
    const Bytes ok = Cat(PcxHeader(5, 8, 3, 2, 1, 2), {1, 2, 3, 4, 5, 6});
    Bytes notPcx = ok;
    notPcx[0] = 11;
    const Bytes cases[] = {
        notPcx,
        Bytes(ok.begin(), ok.begin() + 100),
        Cat(PcxHeader(5, 8, 4, 2, 1, 2), Bytes(8)),    // 32-bit four-plane
        Cat(PcxHeader(5, 2, 1, 2, 1, 2), Bytes(8)),    // 2 bits
        Cat(PcxHeader(5, 8, 1, 4, 1, 2), Bytes(1000)), // bytes per line too small
        Cat(PcxHeader(5, 8, 1, 2, 1, 2), Bytes(100)),  // 8-bit without room for a palette
    };
    for (const Bytes& f : cases) {
        CPicture p;
        EXPECT_EQ(p.ReadPcx(f.data(), f.size(), 1), 0);
        EXPECT_FALSE(p.HasImage());
    }
    // Short data: the rest is black, nothing past the picture is touched.
    const Bytes shortFile = Cat(PcxHeader(5, 8, 3, 8, 8, 8), {0xFF, 0x50});
    CPicture p;
    ASSERT_EQ(p.ReadPcx(shortFile.data(), shortFile.size(), 1), 1);
    EXPECT_EQ(Rgb(p, 7, 7), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(Rgb(p, 0, 0), (std::array<int, 3>{80, 80, 80}));

    // Short 8-bit data: the palette's 0x0C marker is not taken as a pixel.
    Bytes palette(769, 0);
    palette[0] = 0x0C;
    palette[1 + 3 * 12] = 200; // index 12 would show red
    const Bytes short8 = Cat(Cat(PcxHeader(5, 8, 1, 4, 1, 4), {7, 7}), palette);
    CPicture q;
    ASSERT_EQ(q.ReadPcx(short8.data(), short8.size(), 1), 1);
    EXPECT_EQ(q.GetRow(0)[1], 7);
    EXPECT_EQ(q.GetRow(0)[2], 0);
    EXPECT_EQ(q.GetRow(0)[3], 0);
}

TEST(Pcx, PalettesWhereverTheFileKeepsThem)
{
    // 8 bits: the palette at the end wins over any palette information.
    Bytes palette(769, 0);
    palette[0] = 0x0C;
    palette[1 + 3 * 5] = 11, palette[2 + 3 * 5] = 22, palette[3 + 3 * 5] = 33;
    const Bytes eight = Cat(Cat(PcxHeader(5, 8, 1, 2, 1, 2, 36743), {5, 5}), palette);
    CPicture a;
    ASSERT_EQ(a.ReadPcx(eight.data(), eight.size(), 1), 1);
    EXPECT_EQ(Rgb(a, 0, 0), (std::array<int, 3>{11, 22, 33}));
    // 8 bits without one: a grey ramp, and every byte is pixel data.
    const Bytes bare = Cat(Cat(PcxHeader(5, 8, 1, 2, 1, 2), {0xC2, 0x90}), Bytes(800, 0));
    CPicture b;
    ASSERT_EQ(b.ReadPcx(bare.data(), bare.size(), 1), 1);
    EXPECT_EQ(Rgb(b, 1, 0), (std::array<int, 3>{0x90, 0x90, 0x90}));
    // 4 bits without a header palette: the 16 standard colours (6 is brown).
    const Bytes four = Cat(PcxHeader(5, 4, 1, 2, 1, 1), {0x61});
    CPicture c;
    ASSERT_EQ(c.ReadPcx(four.data(), four.size(), 1), 1);
    EXPECT_EQ(Rgb(c, 0, 0), (std::array<int, 3>{170, 85, 0}));
    EXPECT_EQ(Rgb(c, 1, 0), (std::array<int, 3>{0, 0, 170}));
}

TEST(Pcx, WriterRunsPaletteAndDepth)
{
    // One 8-bit row: 0x41 0x41, 0xC5, 64 x 0x00 (width 67, odd).
    const int width = 67;
    Bytes row = {0x41, 0x41, 0xC5};
    row.resize(width, 0);
    const int stride = (width + 3) / 4 * 4;
    Bytes rows(row);
    rows.resize(stride, 0);
    Bytes table(1024, 0);
    table[4 * 0xC5 + 2] = 99;
    TempDir dir;
    WriteFileBytes(dir.File("in.bmp"), MakeBmp(width, 1, 8, table, rows));
    CPicture p;
    ASSERT_EQ(p.LoadFile(dir.File("in.bmp"), 1, 0), 1);
    p.MarkBitsBorrowed();
    ASSERT_EQ(SavePicture(p, dir.File("o.pcx"), PictureFormat::Pcx), 1);
    const Bytes out = ReadFileBytes(dir.File("o.pcx"));
    ASSERT_GE(out.size(), 128u + 769u);
    EXPECT_EQ(out[66] | (out[67] << 8), width);
    EXPECT_EQ(out[1], 5);
    const Bytes expected = {0xC1, 0x41, 0x41, 0xC1, 0xC5, 0xFF, 0x00, 0x00};
    EXPECT_EQ(Bytes(out.begin() + 128, out.end() - 769), expected);
    EXPECT_EQ(out[out.size() - 769], 0x0C);
    EXPECT_EQ(out[out.size() - 768 + 3 * 0xC5], 99);

    // A 24-bit picture comes back as 8 bits with close colours.
    WriteFileBytes(dir.File("deep.bmp"), MakeBmp(2, 1, 24, {}, {0, 0, 255, 255, 0, 0, 0, 0}));
    CPicture deep;
    ASSERT_EQ(deep.LoadFile(dir.File("deep.bmp"), 1, 0), 1);
    deep.MarkBitsBorrowed();
    ASSERT_EQ(SavePicture(deep, dir.File("deep.pcx"), PictureFormat::Pcx), 1);
    EXPECT_EQ(deep.GetBitCount(), 24) << "the picture saved is only read";
    EXPECT_EQ(Rgb(deep, 0, 0), (std::array<int, 3>{255, 0, 0}));
    CPicture back;
    ASSERT_EQ(back.LoadFile(dir.File("deep.pcx"), 1, 0), 1);
    EXPECT_EQ(back.GetBitCount(), 8);
    EXPECT_EQ(Rgb(back, 0, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(Rgb(back, 1, 0), (std::array<int, 3>{0, 0, 255}));
}

namespace {

Bytes TgaHeader(int type, int width, int height, int depth, int descriptor = 0, int mapType = 0, int mapFirst = 0,
                int mapLength = 0, int mapBits = 0, int idLength = 0)
{
    Bytes h;
    h.push_back(std::uint8_t(idLength));
    h.push_back(std::uint8_t(mapType));
    h.push_back(std::uint8_t(type));
    Put16(h, unsigned(mapFirst));
    Put16(h, unsigned(mapLength));
    h.push_back(std::uint8_t(mapBits));
    Put16(h, 0);
    Put16(h, 0);
    Put16(h, unsigned(width));
    Put16(h, unsigned(height));
    h.push_back(std::uint8_t(depth));
    h.push_back(std::uint8_t(descriptor));
    return h;
}

} // namespace

TEST(Tga, RowOrdersRleAlphaAndFifteenBits)
{
    // 1 x 2 raw 24-bit: bottom-left file order is bottom row first.
    const Bytes bottomFirst = Cat(TgaHeader(2, 1, 2, 24), {1, 2, 3, 4, 5, 6});
    const Bytes topFirst = Cat(TgaHeader(2, 1, 2, 24, 0x20), {4, 5, 6, 1, 2, 3});
    CPicture a, b;
    ASSERT_EQ(a.ReadTga(bottomFirst.data(), bottomFirst.size(), 1), 1);
    ASSERT_EQ(b.ReadTga(topFirst.data(), topFirst.size(), 1), 1);
    EXPECT_EQ(0, std::memcmp(a.GetBits(), b.GetBits(), std::size_t(a.GetImageSize())));
    EXPECT_EQ(a.GetRow(0)[0], 1);

    // 32-bit RLE, a repeat packet of 3 crossing the end of a 2-pixel row.
    const Bytes rle = Cat(TgaHeader(10, 2, 2, 32), {0x82, 1, 2, 3, 200, 0x00, 9, 9, 9, 9});
    CPicture c;
    ASSERT_EQ(c.ReadTga(rle.data(), rle.size(), 1), 1);
    EXPECT_EQ(c.GetRow(1)[3], 200); // alpha kept, first pixel of the second row
    EXPECT_EQ(c.GetRow(1)[4], 9);

    const Bytes fifteen = Cat(TgaHeader(2, 1, 1, 15), {0xFF, 0x7F});
    CPicture d;
    ASSERT_EQ(d.ReadTga(fifteen.data(), fifteen.size(), 1), 1);
    EXPECT_EQ(d.GetBitCount(), 16);
}

TEST(Tga, ColourMapsAndGrey)
{
    // 24-bit map entries get a zero fourth byte; entries beyond 256 are clipped.
    const Bytes mapped = Cat(TgaHeader(1, 1, 1, 8, 0, 1, 255, 2, 24), {10, 20, 30, 40, 50, 60, 0});
    CPicture a;
    ASSERT_EQ(a.ReadTga(mapped.data(), mapped.size(), 1), 1);
    EXPECT_EQ(a.GetColorTable()[255].rgbBlue, 10);
    EXPECT_EQ(a.GetColorTable()[255].rgbReserved, 0);
    // 15- and 16-bit entries are 5-5-5 words, widened with their top bits.
    for (int bits : {15, 16}) {
        const Bytes map16 = Cat(TgaHeader(1, 2, 1, 8, 0, 1, 0, 2, bits), {0xFF, 0x7F, 0x10, 0x00, 0, 1});
        CPicture b;
        ASSERT_EQ(b.ReadTga(map16.data(), map16.size(), 1), 1);
        const RGBQUAD white = b.GetColorTable()[0], blue = b.GetColorTable()[1];
        EXPECT_EQ((std::array<int, 3>{white.rgbRed, white.rgbGreen, white.rgbBlue}), (std::array<int, 3>{255, 255, 255}));
        EXPECT_EQ((std::array<int, 3>{blue.rgbRed, blue.rgbGreen, blue.rgbBlue}), (std::array<int, 3>{0, 0, 132}));
    }
    // A true-colour file's map is not used: skipped, whatever its entries.
    const Bytes unused = Cat(TgaHeader(2, 1, 1, 24, 0, 1, 0, 2, 15), {9, 9, 9, 9, 1, 2, 3});
    CPicture u;
    ASSERT_EQ(u.ReadTga(unused.data(), unused.size(), 1), 1);
    EXPECT_EQ(Bytes(u.GetRow(0), u.GetRow(0) + 3), (Bytes{1, 2, 3}));
    const Bytes grey = Cat(TgaHeader(3, 1, 1, 8), {77});
    CPicture c;
    ASSERT_EQ(c.ReadTga(grey.data(), grey.size(), 1), 1);
    EXPECT_EQ(c.GetColorTable()[77].rgbGreen, 77);
}

TEST(Tga, MalformedFilesLeaveThePictureEmpty)
{
    const Bytes cases[] = {
        Cat(TgaHeader(2, 2, 2, 24), Bytes(11)),          // raw data short
        Cat(TgaHeader(10, 2, 2, 24), {0x83, 1, 2}),       // packet short
        Cat(TgaHeader(10, 2, 2, 24), {0x80, 1, 2, 3}),    // too few packets
        Cat(TgaHeader(2, 0, 2, 24), Bytes(12)),           // zero width
        Cat(TgaHeader(2, 1, 1, 4), Bytes(4)),             // depth 4
        Cat(TgaHeader(2, 1, 1, 24, 0, 0, 0, 0, 0, 200), Bytes(4)), // ID beyond the file
        Bytes(10),
        // 256 M pixels (a 768 MB picture) from 1000 bytes of full-length runs.
        Cat(TgaHeader(10, 16000, 16000, 24), Bytes(1000, 0xFF)),
    };
    for (const Bytes& f : cases) {
        CPicture p;
        EXPECT_EQ(p.ReadTga(f.data(), f.size(), 1), 0);
        EXPECT_FALSE(p.HasImage());
    }
}

TEST(Tga, WriterHeaderFooterAndRoundTrip)
{
    TempDir dir;
    WriteFileBytes(dir.File("a.bmp"), MakeBmp(2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0}));
    CPicture p;
    ASSERT_EQ(p.LoadFile(dir.File("a.bmp"), 1, 0), 1);
    ASSERT_EQ(p.WriteTga(dir.File("a.tga")), 1);
    const Bytes out = ReadFileBytes(dir.File("a.tga"));
    ASSERT_EQ(out.size(), 18u + 6u + 26u);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[16], 24);
    EXPECT_EQ(Bytes(out.begin() + 18, out.begin() + 24), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(std::string(out.end() - 18, out.end() - 2), "TRUEVISION-XFILE");
    EXPECT_EQ(out.back(), 0);

    Bytes table;
    for (int i = 0; i < 256; ++i)
        Put32(table, std::uint32_t(i * 0x010203) & 0xFFFFFF);
    WriteFileBytes(dir.File("e.bmp"), MakeBmp(3, 2, 8, table, {1, 2, 3, 0, 4, 5, 6, 0}));
    CPicture e;
    ASSERT_EQ(e.LoadFile(dir.File("e.bmp"), 1, 0), 1);
    ASSERT_EQ(e.WriteTga(dir.File("e.tga")), 1);
    const Bytes tga = ReadFileBytes(dir.File("e.tga"));
    EXPECT_EQ(tga[2], 1);
    EXPECT_EQ(tga[5] | (tga[6] << 8), 256);
    EXPECT_EQ(tga[7], 32);
    CPicture back;
    ASSERT_EQ(back.LoadFile(dir.File("e.tga"), 1, 0), 1);
    EXPECT_EQ(0, std::memcmp(back.GetColorTable(), e.GetColorTable(), 1024));
    EXPECT_EQ(0, std::memcmp(back.GetBits(), e.GetBits(), 8));
}

TEST(Tga, OneAndFourBitPicturesAndThirtyTwoBitAlpha)
{
    TempDir dir;
    // 1 bit, 10 wide: written as one index byte a pixel with a 2-entry map.
    Bytes rows = {0xA0, 0x40, 0, 0};
    WriteFileBytes(dir.File("m.bmp"), MakeBmp(10, 1, 1, {0, 0, 0, 0, 10, 20, 30, 0}, rows));
    CPicture p;
    ASSERT_EQ(p.LoadFile(dir.File("m.bmp"), 1, 0), 1);
    ASSERT_EQ(p.WriteTga(dir.File("m.tga")), 1);
    const Bytes out = ReadFileBytes(dir.File("m.tga"));
    ASSERT_EQ(out.size(), 18u + 8u + 10u + 26u);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2], 1);
    EXPECT_EQ(out[5], 2);
    EXPECT_EQ(out[16], 8);
    EXPECT_EQ(Bytes(out.begin() + 26, out.begin() + 36), (Bytes{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    CPicture back;
    ASSERT_EQ(back.LoadFile(dir.File("m.tga"), 1, 0), 1);
    EXPECT_EQ(Rgb(back, 9, 0), (std::array<int, 3>{30, 20, 10}));

    // What earlier versions wrote: depth 4, two pixels a byte.
    const Bytes old4 = Cat(TgaHeader(1, 3, 1, 4, 0, 1, 0, 16, 24), Cat(Bytes(48, 0), {0x0F, 0x00}));
    Bytes old4Map = old4;
    old4Map[18 + 3 * 15 + 2] = 99; // entry 15 red
    CPicture o;
    ASSERT_EQ(o.ReadTga(old4Map.data(), old4Map.size(), 1), 1);
    EXPECT_EQ(o.GetBitCount(), 4);
    EXPECT_EQ(Rgb(o, 1, 0)[0], 99);

    // 32 bits whose fourth bytes are all zero: opaque alpha, 8 alpha bits.
    WriteFileBytes(dir.File("d.bmp"), MakeBmp(1, 1, 32, {}, {1, 2, 3, 0}));
    CPicture d;
    ASSERT_EQ(d.LoadFile(dir.File("d.bmp"), 1, 0), 1);
    ASSERT_EQ(d.WriteTga(dir.File("d.tga")), 1);
    const Bytes t32 = ReadFileBytes(dir.File("d.tga"));
    EXPECT_EQ(t32[17], 8);
    EXPECT_EQ(Bytes(t32.begin() + 18, t32.begin() + 22), (Bytes{1, 2, 3, 255}));
}

// 16-bit white is 255 in every 8-bit save, as on screen.
TEST(EightBitSaves, DeepWhiteStaysWhite)
{
    TempDir dir;
    WriteFileBytes(dir.File("w.bmp"), MakeBmp(2, 1, 16, {}, {0xFF, 0x7F, 0x00, 0x00}));
    CPicture p;
    ASSERT_EQ(p.LoadFile(dir.File("w.bmp"), 1, 0), 1);
    p.MarkBitsBorrowed();
    for (PictureFormat format : {PictureFormat::Pcx, PictureFormat::Gif}) {
        const std::string path = dir.File(std::string("w") + FormatExtension(format));
        ASSERT_EQ(SavePicture(p, path, format), 1);
        CPicture back;
        ASSERT_EQ(back.LoadFile(path, 1, 0), 1) << path;
        EXPECT_EQ(Rgb(back, 0, 0), (std::array<int, 3>{255, 255, 255})) << path;
        EXPECT_EQ(Rgb(back, 1, 0), (std::array<int, 3>{0, 0, 0})) << path;
        back.ReleaseImage();
    }
}
