// Small hostile JPEG files against the decoder's bounds: data that ends long
// before the picture it declares, and progressive files of endless scans.
// Expected pixels come from the library decoding the same bytes on its own.
#include "dib_util.h"
#include "formats/jpegfile.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/reduce.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <jpeglib.h>

namespace {

// JPEG files byte by byte: marker segments carry their own length.
struct JpegBytes {
    Bytes b;
    JpegBytes() { Marker(0xD8); }
    void Marker(BYTE marker) { b.insert(b.end(), {0xFF, marker}); }
    void Segment(BYTE marker, const Bytes& payload)
    {
        b.insert(b.end(), {0xFF, marker, BYTE((payload.size() + 2) >> 8), BYTE(payload.size() + 2)});
        b.insert(b.end(), payload.begin(), payload.end());
    }
    void FlatQuantTable()
    {
        Bytes t(65, 1);
        t[0] = 0;
        Segment(0xDB, t);
    }
    // Components are (id, sampling factors), all with quantisation table 0.
    void Frame(BYTE marker, int width, int height, const std::vector<std::pair<BYTE, BYTE>>& components)
    {
        Bytes p{8, BYTE(height >> 8), BYTE(height), BYTE(width >> 8), BYTE(width), BYTE(components.size())};
        for (const auto& [id, sampling] : components)
            p.insert(p.end(), {id, sampling, 0});
        Segment(marker, p);
    }
    // A Huffman table of a single one-bit code, "0".
    void OneCodeTable(BYTE tableClass, BYTE symbol)
    {
        Bytes p{BYTE(tableClass << 4), 1};
        p.resize(17, 0);
        p.push_back(symbol);
        Segment(0xC4, p);
    }
    void Scan(const Bytes& componentIds, BYTE ss, BYTE se)
    {
        Bytes p{BYTE(componentIds.size())};
        for (BYTE id : componentIds)
            p.insert(p.end(), {id, 0x00});
        p.insert(p.end(), {ss, se, 0x00});
        Segment(0xDA, p);
    }
    void Data(const Bytes& data) { b.insert(b.end(), data.begin(), data.end()); }
};

// 288 bytes that declare 26000 x 26000 in colour (2x2 luma sampling): the
// coded data, every coefficient zero, covers the first hundred MCUs.
Bytes HugeBaseline()
{
    JpegBytes j;
    j.FlatQuantTable();
    j.Frame(0xC0, 26000, 26000, {{1, 0x22}, {2, 0x11}, {3, 0x11}});
    j.OneCodeTable(0, 0x00); // DC difference 0
    j.OneCodeTable(1, 0x00); // end of block
    j.Scan({1, 2, 3}, 0, 63);
    j.Data(Bytes(288 - 2 - j.b.size(), 0x00));
    j.Data({0xFF, 0xD9});
    return j.b;
}

// About 120 bytes declaring 32800 x 10280, arithmetic-coded, cut off.
Bytes HugeArithmetic()
{
    JpegBytes j;
    j.FlatQuantTable();
    j.Frame(0xC9, 32800, 10280, {{1, 0x11}});
    j.Scan({1}, 0, 63);
    std::uint32_t seed = 7;
    while (j.b.size() < 120)
        j.Data({BYTE(((seed = seed * 1103515245u + 12345u) >> 16) % 255)});
    return j.b;
}

// A progressive grey file of `scans` AC scans over `size` x `size`, each scan
// coded as a few end-of-band runs (EOBRUN 2^14 + 14 more bits) over every block.
Bytes ManyScans(int scans, int size)
{
    JpegBytes j;
    j.FlatQuantTable();
    j.Frame(0xC2, size, size, {{1, 0x11}});
    j.OneCodeTable(1, 0xE0);
    const int blocks = (size / 8) * (size / 8);
    int runs = 1;
    while (blocks % runs || blocks / runs > 32767)
        ++runs;
    Bytes data;
    unsigned pending = 0, count = 0;
    auto put = [&](unsigned value, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) {
            pending = pending << 1 | ((value >> i) & 1);
            if (++count == 8) {
                data.push_back(BYTE(pending));
                if (BYTE(pending) == 0xFF)
                    data.push_back(0x00);
                pending = count = 0;
            }
        }
    };
    for (int run = 0; run < runs; ++run) {
        put(0, 1);
        put(unsigned(blocks / runs - 16384), 14);
    }
    while (count)
        put(1, 1);
    for (int i = 0; i < scans; ++i) {
        j.Scan({1}, 1, 63);
        j.Data(data);
    }
    j.Data({0xFF, 0xD9});
    return j.b;
}

// The library's own decode with its defaults, top-down RGB rows.
Bytes LibraryDecode(const std::string& path, int* width, int* height)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *width = int(info.output_width);
    *height = int(info.output_height);
    Bytes rgb(std::size_t(*width) * 3 * std::size_t(*height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb.data() + std::size_t(info.output_scanline) * std::size_t(*width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return rgb;
}

Bytes ReadRgb(const std::string& path, int* width, int* height)
{
    JpegFile file;
    BYTE* rgb = file.ReadRgb(path, width, height);
    Bytes out(rgb, rgb + std::size_t(*width) * 3 * std::size_t(*height));
    std::free(rgb);
    return out;
}

// A photo-like 4:2:0 file from the library, baseline or progressive, with
// restart markers in the baseline one.
Bytes EncodedPhoto(const std::string& path, bool progressive)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&info, f);
    info.image_width = 61;
    info.image_height = 203;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.restart_in_rows = progressive ? 0 : 1;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    Bytes row(61 * 3);
    while (info.next_scanline < info.image_height) {
        const unsigned y = info.next_scanline;
        for (unsigned x = 0; x < 61; ++x) {
            row[x * 3] = BYTE(x * 4 + y);
            row[x * 3 + 1] = BYTE((x * y) ^ 0x5A);
            row[x * 3 + 2] = BYTE(255 - y);
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
    return ReadFileBytes(path);
}

Rgb At(const CPicture& p, int x, int y)
{
    const BYTE* px = p.GetRow(p.GetHeight() - 1 - y) + 3 * std::size_t(x);
    return Rgb{px[2], px[1], px[0]};
}

} // namespace

// Whole files, a file without its end marker, and a file cut inside its first
// scan: the same rows as the library's own decode, and where the data stops,
// black instead of the grey the library makes up.
TEST(JpegBounds, DecodesAsTheLibraryWhereverTheDataReaches)
{
    TempDir dir;
    for (bool progressive : {false, true}) {
        const std::string path = dir.File("photo.jpg");
        const Bytes whole = EncodedPhoto(path, progressive);
        int w = 0, h = 0, lw = 0, lh = 0;
        EXPECT_EQ(ReadRgb(path, &w, &h), LibraryDecode(path, &lw, &lh)) << progressive;
        EXPECT_EQ(w, lw);
        EXPECT_EQ(h, lh);
        WriteFileBytes(path, Bytes(whole.begin(), whole.end() - 2));
        EXPECT_EQ(ReadRgb(path, &w, &h), LibraryDecode(path, &lw, &lh)) << progressive;
    }
    const std::string path = dir.File("cut.jpg");
    const Bytes whole = EncodedPhoto(path, false);
    WriteFileBytes(path, Bytes(whole.begin(), whole.begin() + long(whole.size() / 3)));
    int w = 0, h = 0, lw = 0, lh = 0;
    const Bytes ours = ReadRgb(path, &w, &h);
    const Bytes library = LibraryDecode(path, &lw, &lh);
    ASSERT_EQ(ours.size(), library.size());
    const std::size_t stride = std::size_t(w) * 3;
    std::size_t reached = 0;
    while (reached < std::size_t(h) && ours[reached * stride] + ours[reached * stride + 1] + ours[reached * stride + 2])
        ++reached;
    EXPECT_GT(reached, 0u);
    EXPECT_LT(reached, std::size_t(h) - 16);
    EXPECT_EQ(reached % 16, 0u); // whole bands of 16 rows
    EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + long(reached * stride), library.begin()));
    EXPECT_TRUE(std::all_of(ours.begin() + long(reached * stride), ours.end(), [](BYTE b) { return b == 0; }));
}

// Shrunk to the size shown while decoding: the area average of the
// library's reduction, the same as averaging that reduction afterwards;
// where the data stops, the rows are black.
TEST(JpegBounds, ShrunkWhileDecodingAsTheReductionAveragedAfterwards)
{
    TempDir dir;
    const auto shownAs = [](int cx, int cy) {
        return ShownSizeFn([cx, cy](int, int, int* w, int* h) {
            *w = cx;
            *h = cy;
        });
    };
    for (int variant = 0; variant < 3; ++variant) {
        const std::string path = dir.File("photo.jpg");
        const Bytes whole = EncodedPhoto(path, variant == 1);
        if (variant == 2)
            WriteFileBytes(path, Bytes(whole.begin(), whole.begin() + long(whole.size() / 3)));
        JpegFile half, shrunk;
        ASSERT_EQ(half.Load(path, shownAs(31, 102)), 1); // 61 x 203 at 1/2, as it is
        ASSERT_EQ(shrunk.Load(path, shownAs(20, 70)), 1);
        ASSERT_TRUE(shrunk.IsReduced());
        ASSERT_EQ(shrunk.GetDib()->GetWidth(), 20);
        ASSERT_EQ(shrunk.GetDib()->GetHeight(), 70);
        EXPECT_EQ(shrunk.GetFullWidth(), 61);
        std::vector<std::uint32_t> expected(20 * 70);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(half.GetDib()->GetHandle()));
        ASSERT_TRUE(ReduceDib(header, nullptr, half.GetDib()->GetBits(), 20, 70, expected.data()));
        GlobalUnlock(half.GetDib()->GetHandle());
        const int rows = variant == 2 ? 15 : 70;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 20; ++x) {
                const BYTE* p = shrunk.GetDib()->GetBits() + std::size_t(69 - y) * 60 + std::size_t(x) * 3;
                const std::uint32_t got = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                if (y < rows) {
                    ASSERT_EQ(got, expected[std::size_t(y) * 20 + std::size_t(x)]) << variant << " " << x << "," << y;
                } else if (y == 69) {
                    ASSERT_EQ(got, 0xFF000000u) << x;
                }
            }
    }
}

TEST(JpegBounds, TinyFilesDeclaringHugePicturesLoadWhatTheyHold)
{
    TempDir dir;
    WriteFileBytes(dir.File("huge.jpg"), HugeBaseline());
    ASSERT_EQ(ReadFileBytes(dir.File("huge.jpg")).size(), 288u);
    WriteFileBytes(dir.File("arith.jpg"), HugeArithmetic());
    MessageRecorder messages;
    CPicture picture;
    ASSERT_EQ(picture.LoadFile(dir.File("huge.jpg"), 1, 0), 1);
    ASSERT_EQ(picture.GetWidth(), 26000);
    ASSERT_EQ(picture.GetHeight(), 26000);
    // The first band of 16 rows decodes (all coefficients zero: mid grey).
    EXPECT_EQ(At(picture, 0, 0), (Rgb{128, 128, 128}));
    EXPECT_EQ(At(picture, 25999, 15), (Rgb{128, 128, 128}));
    EXPECT_EQ(At(picture, 0, 16), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 25999, 25999), (Rgb{0, 0, 0}));
    picture.ReleaseImage();

    ASSERT_EQ(picture.LoadFile(dir.File("arith.jpg"), 1, 0), 1);
    ASSERT_EQ(picture.GetWidth(), 32800);
    ASSERT_EQ(picture.GetHeight(), 10280);
    EXPECT_EQ(At(picture, 0, 8), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 32799, 10279), (Rgb{0, 0, 0}));
    picture.ReleaseImage();

    // A small progressive file whose frame claims a hundred times its width
    // and height: every scan's data stops in the first band.
    Bytes grown = EncodedPhoto(dir.File("grown.jpg"), true);
    const BYTE progressiveFrame[] = {0xFF, 0xC2};
    const auto frame = std::search(grown.begin(), grown.end(), progressiveFrame, progressiveFrame + 2);
    ASSERT_NE(frame, grown.end());
    frame[5] = BYTE(20300 >> 8);
    frame[6] = BYTE(20300 & 0xFF);
    frame[7] = BYTE(6100 >> 8);
    frame[8] = BYTE(6100 & 0xFF);
    WriteFileBytes(dir.File("grown.jpg"), grown);
    ASSERT_EQ(picture.LoadFile(dir.File("grown.jpg"), 1, 0), 1);
    EXPECT_NE(At(picture, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 0, 16), (Rgb{0, 0, 0}));
    EXPECT_EQ(At(picture, 6099, 20299), (Rgb{0, 0, 0}));
    picture.ReleaseImage();
    EXPECT_TRUE(messages.messages.empty());
}

TEST(JpegBounds, ProgressiveFilesOfEndlessScansAreRefused)
{
    TempDir dir;
    WriteFileBytes(dir.File("scans.jpg"), ManyScans(3000, 3840));
    MessageRecorder messages;
    CPicture picture;
    EXPECT_EQ(picture.LoadFile(dir.File("scans.jpg"), 1, 0), 0);
    EXPECT_EQ(messages.messages, std::vector<std::string>{"载入JPEG文件时发生错误!"});
    JpegFile file;
    EXPECT_EQ(file.Load(dir.File("scans.jpg")), 0);
    EXPECT_EQ(file.GetLastError(), "JpegFile :\nMore than 500 scans");
    // At the limit the file still loads (every band empty: mid grey).
    WriteFileBytes(dir.File("scans.jpg"), ManyScans(500, 1024));
    ASSERT_EQ(file.Load(dir.File("scans.jpg")), 1);
    EXPECT_EQ(PixelOf(*file.GetDib(), 1023, 1023), (Rgb{128, 128, 128}));
}
