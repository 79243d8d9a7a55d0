#include "formats/save.h"
#include "picture/picture.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

constexpr const char* kDamaged = "BMP文件已损坏或不完整!";

Bytes Table(std::initializer_list<std::uint32_t> bgrx)
{
    Bytes t;
    for (auto c : bgrx)
        Put32(t, c);
    return t;
}

} // namespace

TEST(Bmp, ReadsEveryDepthBottomUp)
{
    struct Case {
        int bits;
        int width;
        Bytes table;
        Bytes rows; // two rows, bottom first
        int colours;
    };
    const Bytes t2 = Table({0x000000, 0xFFFFFF});
    Bytes t16;
    for (int i = 0; i < 16; ++i)
        Put32(t16, std::uint32_t(i * 0x111111));
    Bytes t256;
    for (int i = 0; i < 256; ++i)
        Put32(t256, std::uint32_t(i) * 0x010101u);
    const Case cases[] = {
        {1, 9, t2, {0xFF, 0x80, 0, 0, 0x55, 0x00, 0, 0}, 2},
        {4, 3, t16, {0x12, 0x30, 0, 0, 0xFE, 0xD0, 0, 0}, 16},
        {8, 2, t256, {7, 200, 0, 0, 9, 10, 0, 0}, 256},
        {16, 2, {}, {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0xFF, 0x7F}, 0},
        {24, 1, {}, {1, 2, 3, 0, 4, 5, 6, 0}, 0},
        {32, 1, {}, {1, 2, 3, 4, 5, 6, 7, 8}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        const Bytes file = MakeBmp(c.width, 2, c.bits, c.table, c.rows);
        CPicture p;
        ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
        EXPECT_EQ(p.GetWidth(), c.width);
        EXPECT_EQ(p.GetHeight(), 2);
        EXPECT_EQ(p.GetBitCount(), c.bits);
        EXPECT_EQ(p.GetRowBytes(), 4 * ((c.width * c.bits + 31) / 32));
        EXPECT_EQ(p.GetColorCount(), c.colours);
        EXPECT_EQ(0, std::memcmp(p.GetBits(), c.rows.data(), c.rows.size()));
        if (c.colours) {
            EXPECT_EQ(0, std::memcmp(p.GetColorTable(), c.table.data(), c.table.size()));
        }
    }
}

TEST(Bmp, TopDownFileIsStoredBottomUpAndWrittenWithPositiveHeight)
{
    // Three 1-pixel rows, top first in the file: red, green, blue.
    const Bytes rows = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
    const Bytes file = MakeBmp(1, -3, 24, {}, rows);
    CPicture p;
    ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
    EXPECT_EQ(p.GetHeight(), 3);
    EXPECT_EQ(p.GetRow(2)[2], 255); // top row as seen is red
    EXPECT_EQ(p.GetRow(0)[0], 255); // bottom row is blue

    TempDir dir;
    ASSERT_EQ(p.WriteBmp(dir.File("out.bmp")), 1);
    const Bytes out = ReadFileBytes(dir.File("out.bmp"));
    ASSERT_EQ(out.size(), 54u + 12u);
    EXPECT_EQ(out[22] | (out[23] << 8), 3); // positive height
    EXPECT_EQ(out[54 + 0], 255);            // first stored row: blue
    EXPECT_EQ(out[54 + 8 + 2], 255);        // last stored row: red
}

TEST(Bmp, SixteenColourTableOnEightBitsIsWrittenAsAFullTable)
{
    Bytes t16;
    for (int i = 0; i < 16; ++i)
        Put32(t16, std::uint32_t(i));
    // Index 252 lies past the file's 16 entries: the written table must
    // reach it, or other programs refuse the file.
    const Bytes file = MakeBmp(4, 1, 8, t16, {1, 2, 252, 15}, 16);
    CPicture p;
    ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
    EXPECT_EQ(p.GetColorCount(), 16);
    TempDir dir;
    ASSERT_EQ(p.WriteBmp(dir.File("o.bmp")), 1);
    const Bytes out = ReadFileBytes(dir.File("o.bmp"));
    EXPECT_EQ(out[10] | (out[11] << 8), 54 + 1024);
    EXPECT_EQ(out[46] | (out[47] << 8), 256);
    ASSERT_EQ(out.size(), 54u + 1024u + 4u);
    EXPECT_EQ(out[54 + 4 * 15], 15);
    EXPECT_EQ(Bytes(out.begin() + 54 + 4 * 16, out.begin() + 54 + 1024), Bytes(1024 - 64, 0)); // black
}

TEST(Bmp, WriterHeadersFor24And16Bits)
{
    TempDir dir;
    {
        const Bytes file = MakeBmp(3, 2, 24, {}, Bytes(24, 7));
        CPicture p;
        ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
        ASSERT_EQ(p.WriteBmp(dir.File("a.bmp")), 1);
        const Bytes out = ReadFileBytes(dir.File("a.bmp"));
        EXPECT_EQ(out[10], 54);
        EXPECT_EQ(out[2] | (out[3] << 8), 54 + 24);
        EXPECT_EQ(out[30], 0); // BI_RGB
    }
    {
        // A 16-bit picture is written with explicit 5-5-5 masks.
        const Bytes file = MakeBmp(2, 1, 16, {}, {0x00, 0x7C, 0x1F, 0x00});
        CPicture p;
        ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
        ASSERT_EQ(p.WriteBmp(dir.File("b.bmp")), 1);
        const Bytes out = ReadFileBytes(dir.File("b.bmp"));
        EXPECT_EQ(out[10], 66);
        EXPECT_EQ(out[30], 3);
        EXPECT_EQ(out[54] | (out[55] << 8), 0x7C00);
        EXPECT_EQ(out[58] | (out[59] << 8), 0x03E0);
        EXPECT_EQ(out[62], 0x1F);
        EXPECT_EQ(out[66 + 1], 0x7C);
    }
}

TEST(Bmp, RoundTripGivesTheSameBytesAtEveryDepth)
{
    TempDir dir;
    for (int bits : {1, 4, 8, 24, 32}) { // full tables: written as read
        SCOPED_TRACE(bits);
        Bytes table;
        if (bits <= 8)
            for (int i = 0; i < (1 << bits); ++i)
                Put32(table, std::uint32_t(i * 37) & 0xFFFFFF);
        const int width = 5;
        const int stride = (width * bits + 31) / 32 * 4;
        Bytes rows(std::size_t(stride) * 3);
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = std::uint8_t(i * 13 + 1);
        const Bytes file = MakeBmp(width, 3, bits, table, rows, bits <= 8 ? (1u << bits) : 0);
        const std::string path = dir.File("rt.bmp");
        WriteFileBytes(path, file);
        CPicture p;
        ASSERT_EQ(p.LoadFile(path, 1, 0), 1);
        ASSERT_EQ(p.WriteBmp(path), 1);
        EXPECT_EQ(ReadFileBytes(path), file);
    }
}

TEST(Bmp, SixteenBitFileWithFiveFiveFiveMasksRoundTrips)
{
    Bytes masks;
    Put32(masks, 0x7C00);
    Put32(masks, 0x03E0);
    Put32(masks, 0x001F);
    const Bytes file = MakeBmp(3, 2, 16, masks, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}, 0, 3);
    TempDir dir;
    WriteFileBytes(dir.File("s.bmp"), file);
    CPicture p;
    ASSERT_EQ(p.LoadFile(dir.File("s.bmp"), 1, 0), 1);
    ASSERT_EQ(p.WriteBmp(dir.File("s.bmp")), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("s.bmp")), file);
}

TEST(Bmp, RefusalsShowTheirMessageAndLeaveNoPicture)
{
    const Bytes good = MakeBmp(2, 2, 24, {}, Bytes(16, 1));
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
    };
    Bytes badType = good;
    badType[0] = 'X';
    Bytes unknownHeader = MakeBmp(2, 2, 24, {}, Bytes(16, 1), 0, 0, 0, 64);
    Bytes offOutside = good;
    offOutside[10] = 0xF0;
    offOutside[11] = 0xFF;
    const Bytes table8 = MakeBmp(2, 2, 8, Bytes(1024), Bytes(8));
    std::vector<Case> cases = {
        {"bad type", badType, "bfh.bfType != 'MB'"},
        {"64-byte header", unknownHeader, "bih.biSize != sizeof(bih)"},
        {"rle8 at 4 bits", MakeBmp(2, 2, 4, Bytes(64), Bytes(8), 0, 1), kDamaged},
        {"rle4 top-down", MakeBmp(2, -2, 4, Bytes(64), Bytes(8), 0, 2), kDamaged},
        {"compression 7", MakeBmp(2, 2, 24, {}, Bytes(16), 0, 7), "BMP文件的压缩方式不受支持!"},
        {"short file", Bytes(good.begin(), good.begin() + 40), kDamaged},
        {"offset outside", offOutside, kDamaged},
        {"rows cut", Bytes(good.begin(), good.end() - 1), kDamaged},
        {"table cut", Bytes(table8.begin(), table8.begin() + 600), kDamaged},
        {"zero width", MakeBmp(0, 2, 24, {}, Bytes(16)), kDamaged},
        {"negative width", MakeBmp(-2, 2, 24, {}, Bytes(16)), kDamaged},
        {"zero height", MakeBmp(2, 0, 24, {}, Bytes(16)), kDamaged},
        {"depth 2", MakeBmp(2, 2, 2, Bytes(16), Bytes(8)), kDamaged},
        {"depth 0", MakeBmp(2, 2, 0, {}, Bytes(8)), kDamaged},
        {"clrUsed 17 on 4 bits", MakeBmp(2, 2, 4, Bytes(68), Bytes(8), 17), kDamaged},
        {"huge", MakeBmp(0x7FFFFFFF, 0x7FFFFFF, 32, {}, Bytes(16)), kDamaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder rec;
        CPicture p;
        EXPECT_EQ(p.ReadBmp(c.file.data(), c.file.size(), 1, 0), 0);
        EXPECT_FALSE(p.HasImage());
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0], c.message);
    }
}

TEST(Bmp, DeepPictureIgnoresColourCount)
{
    const Bytes file = MakeBmp(1, 1, 24, {}, {1, 2, 3, 0}, 300);
    CPicture p;
    ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
    EXPECT_EQ(p.GetColorCount(), 0);
}

TEST(Bmp, SecondLoadDeletesTheFirstSectionOnce)
{
    const int before = LiveDibSectionCount();
    {
        const Bytes file = MakeBmp(2, 2, 24, {}, Bytes(16, 1));
        CPicture p;
        ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
        p.MarkBitsBorrowed();
        EXPECT_EQ(LiveDibSectionCount(), before + 1);
        p.ReleaseImage();
        p.Clear();
        p.Clear();
        ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
        EXPECT_EQ(LiveDibSectionCount(), before + 1);
    }
    EXPECT_EQ(LiveDibSectionCount(), before);
}

TEST(LoadFile, ExtensionsChooseTheReader)
{
    TempDir dir;
    const Bytes bmp = MakeBmp(1, 1, 24, {}, {1, 2, 3, 0});
    WriteFileBytes(dir.File("archive.tar.bmp"), bmp);
    WriteFileBytes(dir.File("UPPER.BMP"), bmp);
    WriteFileBytes(dir.File("name.xyz"), Bytes{'t', 'e', 'x', 't'});
    WriteFileBytes(dir.File("noextension"), bmp);
    {
        CPicture p;
        EXPECT_EQ(p.LoadFile(dir.File("archive.tar.bmp"), 1, 0), 1);
        EXPECT_EQ(p.m_nFileSize, bmp.size());
        EXPECT_EQ(p.m_bFromCodec, 0);
        CPicture q;
        EXPECT_EQ(q.LoadFile(dir.File("UPPER.BMP"), 1, 0), 1);
    }
    {
        // Read, recognised by no extension, refused without a word.
        MessageRecorder rec;
        CPicture p;
        EXPECT_EQ(p.LoadFile(dir.File("name.xyz"), 1, 0), 0);
        EXPECT_TRUE(rec.messages.empty());
        EXPECT_EQ(p.m_nFileSize, 4u);
        // A picture without an extension is read by what it starts with.
        EXPECT_EQ(p.LoadFile(dir.File("noextension"), 1, 0), 1);
        p.MarkBitsBorrowed();
        EXPECT_TRUE(rec.messages.empty());
    }
    {
        MessageRecorder rec;
        CPicture p;
        EXPECT_EQ(p.LoadFile(dir.File("missing.bmp"), 1, 0), 0);
        ASSERT_EQ(rec.messages.size(), 1u);
        EXPECT_EQ(rec.messages[0], "无法打开文件!请确认文件是否存在或路径是否正确!");
    }
    EXPECT_EQ(FormatFromPath("PHOTO.JPG"), PictureFormat::Jpeg);
    EXPECT_EQ(FormatFromPath("a.JpEg"), PictureFormat::Jpeg);
    EXPECT_EQ(FormatFromPath("x.GIF"), PictureFormat::Gif);
    EXPECT_EQ(FormatFromPath("/some.dir/file"), PictureFormat::Unknown);
    EXPECT_EQ(FormatFromPath("a.tga"), PictureFormat::Tga);
    EXPECT_EQ(FormatFromPath("a.Pcx"), PictureFormat::Pcx);
}

TEST(SafeWrite, FailedWriteLeavesTheOldFileAndNoTemporary)
{
    TempDir dir;
    const std::string target = dir.File("keep.bmp");
    WriteFileBytes(target, {1, 2, 3});
    CPicture empty;
    EXPECT_EQ(empty.WriteBmp(target), 0);
    EXPECT_EQ(ReadFileBytes(target), (Bytes{1, 2, 3}));
    CPicture p;
    const Bytes file = MakeBmp(1, 1, 24, {}, {1, 2, 3, 0});
    ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
    EXPECT_EQ(p.WriteBmp(dir.File("no-such-folder/x.bmp")), 0);
    EXPECT_EQ(dir.Names().size(), 1u);
}

namespace {

// A file with a longer info header: 40 bytes as MakeBmp writes them, then
// the red, green, blue and alpha masks and zeros up to `infoSize`.
Bytes LongHeaderBmp(int width, int height, int bits, std::uint32_t compression, std::array<std::uint32_t, 4> masks,
                    const Bytes& rows, std::uint32_t infoSize = 124)
{
    Bytes extra;
    for (auto m : masks)
        Put32(extra, m);
    extra.resize(infoSize - 40, 0);
    Bytes file = MakeBmp(width, height, bits, extra, rows, 0, compression);
    file[14] = BYTE(infoSize);
    return file;
}

std::array<int, 4> Bgra(const CPicture& p, int x, int rowInMemory)
{
    const BYTE* q = p.GetRow(rowInMemory) + x * p.GetBitCount() / 8;
    return {q[0], q[1], q[2], p.GetBitCount() == 32 ? q[3] : -1};
}

} // namespace

TEST(Bmp, BitFieldMasksAreApplied)
{
    // 5-6-5: white, pure green (6 bits), a mid red 10000b -> 132 (bits repeated).
    Bytes masks565;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        Put32(masks565, m);
    const Bytes f565 = MakeBmp(3, 1, 16, masks565, {0xFF, 0xFF, 0xE0, 0x07, 0x00, 0x80, 0, 0}, 0, 3);
    CPicture a;
    ASSERT_EQ(a.ReadBmp(f565.data(), f565.size(), 1, 0), 1);
    ASSERT_EQ(a.GetBitCount(), 24);
    EXPECT_EQ(Bgra(a, 0, 0), (std::array<int, 4>{255, 255, 255, -1}));
    EXPECT_EQ(Bgra(a, 1, 0), (std::array<int, 4>{0, 255, 0, -1}));
    EXPECT_EQ(Bgra(a, 2, 0), (std::array<int, 4>{0, 0, 132, -1}));

    // 32 bits with red in the low byte and no alpha.
    Bytes masksRgb;
    for (std::uint32_t m : {0x0000FFu, 0x00FF00u, 0xFF0000u})
        Put32(masksRgb, m);
    const Bytes f32 = MakeBmp(1, 1, 32, masksRgb, {10, 20, 30, 40}, 0, 3);
    CPicture b;
    ASSERT_EQ(b.ReadBmp(f32.data(), f32.size(), 1, 0), 1);
    EXPECT_EQ(b.GetBitCount(), 24);
    EXPECT_EQ(Bgra(b, 0, 0), (std::array<int, 4>{30, 20, 10, -1}));

    // V5 header, 16-bit 1-5-5-5 with an alpha bit: 32-bit picture with alpha.
    const Bytes v5 = LongHeaderBmp(2, 1, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, {0x1F, 0x80, 0x00, 0x7C});
    CPicture c;
    ASSERT_EQ(c.ReadBmp(v5.data(), v5.size(), 1, 0), 1);
    EXPECT_EQ(c.GetBitCount(), 32);
    EXPECT_EQ(Bgra(c, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(Bgra(c, 1, 0), (std::array<int, 4>{0, 0, 255, 0}));
}

TEST(Bmp, LongAndCoreHeadersRead)
{
    // V4 (108 bytes) and V5 (124 bytes) 32-bit files with the standard
    // masks and alpha keep their bytes, alpha included.
    for (std::uint32_t size : {108u, 124u}) {
        SCOPED_TRACE(size);
        const Bytes f = LongHeaderBmp(1, 1, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 128}, size);
        CPicture p;
        ASSERT_EQ(p.ReadBmp(f.data(), f.size(), 1, 0), 1);
        EXPECT_EQ(Bgra(p, 0, 0), (std::array<int, 4>{1, 2, 3, 128}));
    }
    // An 8-bit V5 file takes its table after the 124-byte header.
    Bytes v5table;
    v5table.resize(124 - 40, 0);
    for (int i = 0; i < 256; ++i)
        Put32(v5table, std::uint32_t(i) << 16);
    Bytes v5 = MakeBmp(1, 1, 8, v5table, {200, 0, 0, 0});
    v5[14] = 124;
    CPicture q;
    ASSERT_EQ(q.ReadBmp(v5.data(), v5.size(), 1, 0), 1);
    EXPECT_EQ(q.GetColorTable()[200].rgbRed, 200);

    // 12-byte core header: 16-bit sizes and a table of 3-byte entries.
    Bytes core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26 + 6, 0, 0, 0, 12, 0, 0, 0, 9, 0, 1, 0, 1, 0, 1, 0};
    for (BYTE b : {0, 0, 0, 10, 20, 30})
        core.push_back(b);
    for (BYTE b : {0x80, 0x80, 0, 0})
        core.push_back(b);
    CPicture r;
    ASSERT_EQ(r.ReadBmp(core.data(), core.size(), 1, 0), 1);
    EXPECT_EQ(r.GetWidth(), 9);
    EXPECT_EQ(r.GetColorCount(), 2);
    EXPECT_EQ(r.GetColorTable()[1].rgbRed, 30);
    EXPECT_EQ(r.GetRow(0)[1], 0x80);
}

TEST(Bmp, RunLengthRowsWithDeltaEndOfLineAndClipping)
{
    Bytes table(1024, 0);
    // RLE8 on 4 x 3: row 0 = run of 6 (cut at 4) of index 7, end of line;
    // row 1 = literal 1 2 3 (padded to a word); delta (0, +1) to x 3 of
    // row 2, run of 1 of index 9, end of bitmap.
    const Bytes rle8 = {6, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 9, 0, 1};
    const Bytes f8 = MakeBmp(4, 3, 8, table, rle8, 0, 1);
    CPicture a;
    ASSERT_EQ(a.ReadBmp(f8.data(), f8.size(), 1, 0), 1);
    EXPECT_EQ(Bytes(a.GetRow(0), a.GetRow(0) + 4), (Bytes{7, 7, 7, 7}));
    EXPECT_EQ(Bytes(a.GetRow(1), a.GetRow(1) + 4), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(Bytes(a.GetRow(2), a.GetRow(2) + 4), (Bytes{0, 0, 0, 9}));

    // RLE4 on 5 x 1: run of 3 alternating A, B; literal of 3 from 0xCD 0xE0.
    const Bytes rle4 = {3, 0xAB, 0, 3, 0xCD, 0xE0, 0, 0};
    const Bytes f4 = MakeBmp(5, 1, 4, Bytes(64), rle4, 0, 2);
    CPicture b;
    ASSERT_EQ(b.ReadBmp(f4.data(), f4.size(), 1, 0), 1);
    EXPECT_EQ(b.GetRow(0)[0], 0xAB);
    EXPECT_EQ(b.GetRow(0)[1], 0xAC);
    EXPECT_EQ(b.GetRow(0)[2], 0xD0); // fifth pixel; the literal's third is cut

    // Data that ends in a literal: what is there is drawn, nothing more.
    const Bytes cut = MakeBmp(4, 1, 8, table, {0, 4, 5, 6}, 0, 1);
    CPicture c;
    ASSERT_EQ(c.ReadBmp(cut.data(), cut.size(), 1, 0), 1);
    EXPECT_EQ(Bytes(c.GetRow(0), c.GetRow(0) + 4), (Bytes{5, 6, 0, 0}));
}
