#include "dib_util.h"
#include "formats/codecs.h"
#include "formats/gifcodec.h"
#include "formats/jpegfile.h"
#include "formats/save.h"
#include "picture/picture.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>

#include <jpeglib.h>

namespace {

struct JpegSpec {
    int width = 32, height = 16;
    J_COLOR_SPACE space = JCS_RGB; // of the samples handed to the library
    int components = 3;
    bool progressive = false;
    bool adobeMarker = true; // CMYK files only
    int quality = 95;
};

// Writes a JPEG with libjpeg itself; `sample(x, y, c)` gives the samples.
void WriteJpeg(const std::string& path, const JpegSpec& spec, const std::function<BYTE(int, int, int)>& sample)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_stdio_dest(&info, f);
    info.image_width = JDIMENSION(spec.width);
    info.image_height = JDIMENSION(spec.height);
    info.input_components = spec.components;
    info.in_color_space = spec.space;
    jpeg_set_defaults(&info);
    info.write_Adobe_marker = spec.space == JCS_CMYK ? boolean(spec.adobeMarker) : info.write_Adobe_marker;
    jpeg_set_quality(&info, spec.quality, TRUE);
    if (spec.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<BYTE> row(std::size_t(spec.width) * spec.components);
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x)
            for (int c = 0; c < spec.components; ++c)
                row[std::size_t(x * spec.components + c)] = sample(x, y, c);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
}

// Four flat 16 x 8 quadrants, so that compression keeps them close to exact.
const Rgb kQuadrant[4] = {{230, 20, 20}, {20, 200, 30}, {25, 30, 220}, {250, 250, 250}};
Rgb QuadrantColour(int x, int y)
{
    return kQuadrant[(y / 8) * 2 + (x / 16) % 2];
}
BYTE QuadrantSample(int x, int y, int c)
{
    return QuadrantColour(x, y)[std::size_t(c)];
}

::testing::AssertionResult Near(const Rgb& got, const Rgb& want, int tolerance)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(got[std::size_t(c)]) - int(want[std::size_t(c)])) > tolerance)
            return ::testing::AssertionFailure() << "got (" << int(got[0]) << "," << int(got[1]) << "," << int(got[2])
                                                 << ") want (" << int(want[0]) << "," << int(want[1]) << ","
                                                 << int(want[2]) << ")";
    return ::testing::AssertionSuccess();
}

Rgb PictureRgb(const CPicture& p, int x, int y)
{
    const BYTE* px = p.GetRow(p.GetHeight() - 1 - y) + 3 * x;
    return Rgb{px[2], px[1], px[0]};
}

// Quadrant centres of a decoded picture against the quadrant colours.
void ExpectQuadrants(const CDib& dib, int tolerance)
{
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2) * 16 + 8, y = (q / 2) * 8 + 4;
        EXPECT_TRUE(Near(PixelOf(dib, x, y), kQuadrant[q], tolerance)) << "quadrant " << q;
    }
}

// The markers of a JPEG file up to the start of scan: (marker, payload).
std::vector<std::pair<int, Bytes>> Segments(const Bytes& file)
{
    std::vector<std::pair<int, Bytes>> out;
    std::size_t pos = 2;
    while (pos + 4 <= file.size() && file[pos] == 0xFF) {
        const int marker = file[pos + 1];
        const std::size_t length = std::size_t(file[pos + 2]) << 8 | file[pos + 3];
        out.emplace_back(marker, Bytes(file.begin() + long(pos + 4), file.begin() + long(pos + 2 + length)));
        if (marker == 0xDA)
            break;
        pos += 2 + length;
    }
    return out;
}

} // namespace

TEST(Jpeg, GreyscaleLoadsAsEqualChannels)
{
    TempDir dir;
    const std::string path = dir.File("grey.JPG");
    JpegSpec spec;
    spec.space = JCS_GRAYSCALE;
    spec.components = 1;
    WriteJpeg(path, spec, [](int x, int, int) { return BYTE(x < 16 ? 40 : 200); });
    CPicture picture;
    ASSERT_EQ(picture.LoadFile(path, 1, 0), 1);
    ASSERT_NE(picture.m_pJpegFile, nullptr);
    EXPECT_EQ(picture.m_bFromCodec, 1);
    EXPECT_EQ(picture.GetBits(), picture.m_pJpegFile->GetDib()->GetBits()); // borrowed, not copied
    EXPECT_EQ(picture.GetBitCount(), 24);
    EXPECT_EQ(picture.GetColorCount(), 0);
    EXPECT_EQ(picture.GetRowBytes(), 96);
    EXPECT_EQ(picture.m_nFileSize, ReadFileBytes(path).size());
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const Rgb c = PictureRgb(picture, x, y);
            ASSERT_EQ(c[0], c[1]);
            ASSERT_EQ(c[1], c[2]);
        }
    EXPECT_TRUE(Near(PictureRgb(picture, 4, 4), {40, 40, 40}, 2));
    EXPECT_TRUE(Near(PictureRgb(picture, 28, 12), {200, 200, 200}, 2));
    picture.ReleaseImage();
    EXPECT_EQ(picture.m_pJpegFile, nullptr);
}

TEST(Jpeg, ProgressiveLoadsAndSavesAsBaselineAtSeventyFive)
{
    TempDir dir;
    JpegSpec spec;
    spec.progressive = true;
    WriteJpeg(dir.File("p.jpg"), spec, QuadrantSample);
    bool inputProgressive = false;
    for (const auto& segment : Segments(ReadFileBytes(dir.File("p.jpg"))))
        inputProgressive |= segment.first == 0xC2;
    ASSERT_TRUE(inputProgressive);

    CPicture picture;
    ASSERT_EQ(picture.LoadFile(dir.File("p.jpg"), 1, 0), 1);
    ExpectQuadrants(*picture.m_pJpegFile->GetDib(), 6);
    // A top-left corner pixel: rows must not come out flipped.
    EXPECT_TRUE(Near(PictureRgb(picture, 0, 0), kQuadrant[0], 12));
    ASSERT_EQ(SavePicture(picture, dir.File("b.jpg"), PictureFormat::Jpeg), 1);

    const auto segments = Segments(ReadFileBytes(dir.File("b.jpg")));
    bool baseline = false, progressive = false;
    std::vector<Bytes> tables;
    for (const auto& [marker, payload] : segments) {
        baseline |= marker == 0xC0;
        progressive |= marker == 0xC2;
        if (marker == 0xDB)
            for (std::size_t i = 0; i + 65 <= payload.size(); i += 65)
                tables.emplace_back(payload.begin() + long(i), payload.begin() + long(i + 65));
    }
    EXPECT_TRUE(baseline);
    EXPECT_FALSE(progressive);
    // Quality 75 halves the standard tables: luminance 16, 11 -> 8, 6 and
    // chrominance 17, 18 -> 9, 9 (zigzag order, 8-bit entries).
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0][0], 0);
    EXPECT_EQ(tables[0][1], 8);
    EXPECT_EQ(tables[0][2], 6);
    EXPECT_EQ(tables[1][0], 1);
    EXPECT_EQ(tables[1][1], 9);
    EXPECT_EQ(tables[1][2], 9);

    JpegFile back;
    ASSERT_EQ(back.Load(dir.File("b.jpg")), 1);
    ExpectQuadrants(*back.GetDib(), 10);
}

TEST(Jpeg, PalettePicturesAreEncodedAsTrueColour)
{
    TempDir dir;
    const std::vector<Rgb> table = {{200, 30, 30}, {30, 30, 200}};
    std::vector<BYTE> indices(32 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            indices[std::size_t(y * 32 + x)] = BYTE(x >= 16);
    CDib eight;
    ASSERT_EQ(eight.Attach(MakeDib8(32, 16, table, indices)), 1);
    JpegFile writer;
    ASSERT_EQ(writer.Save(dir.File("e.jpg"), &eight, 1, 75), 1);
    EXPECT_EQ(eight.GetBitCount(), 8); // the caller's CDib is untouched
    for (const auto& [marker, payload] : Segments(ReadFileBytes(dir.File("e.jpg"))))
        if (marker == 0xC0) {
            EXPECT_EQ(payload[5], 3); // three components
        }
    JpegFile back;
    ASSERT_EQ(back.Load(dir.File("e.jpg")), 1);
    EXPECT_TRUE(Near(PixelOf(*back.GetDib(), 4, 8), table[0], 10));
    EXPECT_TRUE(Near(PixelOf(*back.GetDib(), 28, 8), table[1], 10));

    // The same through the picture: an 8-bit BMP saved as JPEG.
    Bytes quads;
    for (const Rgb& c : table)
        quads.insert(quads.end(), {c[2], c[1], c[0], 0});
    Bytes rows;
    for (int y = 15; y >= 0; --y)
        rows.insert(rows.end(), indices.begin() + y * 32, indices.begin() + y * 32 + 32);
    WriteFileBytes(dir.File("e.bmp"), MakeBmp(32, 16, 8, quads, rows, 2));
    CPicture picture;
    ASSERT_EQ(picture.LoadFile(dir.File("e.bmp"), 1, 0), 1);
    ASSERT_EQ(SavePicture(picture, dir.File("f.jpg"), PictureFormat::Jpeg), 1);
    EXPECT_EQ(picture.m_pJpegFile, nullptr); // the temporary writer is gone
    ASSERT_EQ(back.Load(dir.File("f.jpg")), 1);
    EXPECT_TRUE(Near(PixelOf(*back.GetDib(), 28, 8), table[1], 10));
}

TEST(Jpeg, FileFailuresLeaveTheirTexts)
{
    TempDir dir;
    JpegFile file;
    EXPECT_EQ(file.GetLastError(), "No Error");
    int w = -1, h = -1;
    EXPECT_EQ(file.ReadRgb(dir.File("none.jpg"), &w, &h), nullptr);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(file.GetLastError(), "JPEG :\nCan't open " + dir.File("none.jpg") + "\n");

    const BYTE rgb[3] = {1, 2, 3};
    const std::string target = dir.File("no/such/folder.jpg");
    EXPECT_EQ(file.WriteRgb(target, rgb, 1, 1, 1, 75), 0);
    EXPECT_EQ(file.GetLastError(), "JpegFile :\nCan't open " + target + "\n");
    EXPECT_EQ(file.WriteRgb(dir.File("z.jpg"), rgb, 0, 1, 1, 75), 0);
    EXPECT_EQ(file.WriteRgb(dir.File("z.jpg"), nullptr, 1, 1, 1, 75), 0);
    EXPECT_EQ(file.Save(dir.File("z.jpg"), nullptr, 1, 75), 0); // nothing decoded yet
    EXPECT_TRUE(dir.Names().empty());
}

TEST(Jpeg, LibraryErrorsShowItsTextThenTheLoadMessage)
{
    TempDir dir;
    WriteFileBytes(dir.File("text.jpg"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    MessageRecorder recorder;
    CPicture picture;
    EXPECT_EQ(picture.LoadFile(dir.File("text.jpg"), 1, 0), 0);
    EXPECT_FALSE(picture.HasImage());
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.captions[0], "JPEG Fatal Error");
    EXPECT_NE(recorder.messages[0].find("Not a JPEG file"), std::string::npos) << recorder.messages[0];
    EXPECT_EQ(recorder.messages[1], "载入JPEG文件时发生错误!");
    EXPECT_EQ(recorder.captions[1], "Korvex");
    picture.ReleaseImage();

    // A file cut short is only a warning: what was there decodes and the
    // file loads without a box.
    JpegSpec spec;
    spec.height = 256;
    WriteJpeg(dir.File("whole.jpg"), spec, [](int, int, int c) { return kQuadrant[0][std::size_t(c)]; });
    Bytes whole = ReadFileBytes(dir.File("whole.jpg"));
    std::size_t scan = 0;
    for (std::size_t i = 0; i + 1 < whole.size() && !scan; ++i)
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA)
            scan = i;
    ASSERT_GT(scan, 0u);
    whole.resize(scan + (whole.size() - scan) / 2);
    WriteFileBytes(dir.File("cut.jpg"), whole);
    recorder.messages.clear();
    JpegFile cut;
    ASSERT_EQ(cut.Load(dir.File("cut.jpg")), 1);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_TRUE(Near(PixelOf(*cut.GetDib(), 2, 2), kQuadrant[0], 12));
}

TEST(Jpeg, WriteErrorsKeepTheOldFile)
{
    TempDir dir;
    const Bytes old = {'o', 'l', 'd'};
    WriteFileBytes(dir.File("x.jpg"), old);
    std::vector<BYTE> noise(256 * 256 * 3);
    std::uint32_t seed = 3;
    for (BYTE& b : noise)
        b = BYTE((seed = seed * 1664525u + 1013904223u) >> 24);
    MessageRecorder recorder;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 8192;
    setrlimit(RLIMIT_FSIZE, &small);
    JpegFile file;
    const int result = file.WriteRgb(dir.File("x.jpg"), noise.data(), 256, 256, 1, 75);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(recorder.captions.size(), 1u);
    EXPECT_EQ(recorder.captions[0], "JPEG Fatal Error");
    EXPECT_EQ(ReadFileBytes(dir.File("x.jpg")), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"x.jpg"});
}

TEST(Jpeg, CmykLoadsAsRgbWithOrWithoutAdobeInversion)
{
    TempDir dir;
    for (bool adobe : {true, false}) {
        JpegSpec spec;
        spec.space = JCS_CMYK;
        spec.components = 4;
        spec.adobeMarker = adobe;
        // Ink amounts C = 255 - R and so on with no black; Adobe's files
        // store every sample inverted, 255 meaning no ink.
        WriteJpeg(dir.File("cmyk.jpg"), spec, [adobe](int x, int y, int c) {
            const int ink = c == 3 ? 0 : 255 - QuadrantSample(x, y, c);
            return BYTE(adobe ? 255 - ink : ink);
        });
        JpegFile file;
        ASSERT_EQ(file.Load(dir.File("cmyk.jpg")), 1) << adobe;
        ExpectQuadrants(*file.GetDib(), 6);
    }
    // Black ink darkens: K = 128 over no colour ink gives mid grey.
    JpegSpec spec;
    spec.space = JCS_CMYK;
    spec.components = 4;
    spec.adobeMarker = false;
    WriteJpeg(dir.File("k.jpg"), spec, [](int, int, int c) { return BYTE(c == 3 ? 128 : 0); });
    JpegFile file;
    ASSERT_EQ(file.Load(dir.File("k.jpg")), 1);
    EXPECT_TRUE(Near(PixelOf(*file.GetDib(), 5, 5), {127, 127, 127}, 3));
}

TEST(CodecSave, SourceRulePicksTheDecodeShown)
{
    TempDir dir;
    JpegSpec spec;
    WriteJpeg(dir.File("q.jpg"), spec, QuadrantSample);

    // GIF decode saved as JPEG: the GIF codec's CDib through a temporary writer.
    GifCodec gifWriter;
    CDib quadrants;
    std::vector<Rgb> px;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            px.push_back(QuadrantColour(x, y));
    ASSERT_EQ(quadrants.Attach(MakeDib24(32, 16, px)), 1);
    ASSERT_EQ(gifWriter.Save(dir.File("q.gif"), &quadrants), 1);
    CPicture fromGif;
    ASSERT_EQ(fromGif.LoadFile(dir.File("q.gif"), 1, 0), 1);
    ASSERT_EQ(SavePicture(fromGif, dir.File("g.jpg"), PictureFormat::Jpeg), 1);
    EXPECT_EQ(fromGif.m_pJpegFile, nullptr);
    JpegFile back;
    ASSERT_EQ(back.Load(dir.File("g.jpg")), 1);
    ExpectQuadrants(*back.GetDib(), 10);

    // JPEG decode saved as GIF, and back.
    CPicture fromJpeg;
    ASSERT_EQ(fromJpeg.LoadFile(dir.File("q.jpg"), 1, 0), 1);
    ASSERT_EQ(SavePicture(fromJpeg, dir.File("j.gif"), PictureFormat::Gif), 1);
    EXPECT_EQ(fromJpeg.m_pGifCodec, nullptr);
    GifCodec gif;
    ASSERT_EQ(gif.Load(dir.File("j.gif")), 1);
    ExpectQuadrants(*gif.GetDib(), 10);

    // Once rotated, every writer saves what is shown: 16 wide, 32 high, the
    // old top-left quadrant now top-right.
    ASSERT_EQ(fromJpeg.RotateClockwise(), 1);
    for (PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Gif, PictureFormat::Bmp}) {
        const std::string path = dir.File(std::string("r") + FormatExtension(format));
        ASSERT_EQ(SavePicture(fromJpeg, path, format), 1);
        CPicture rotated;
        ASSERT_EQ(rotated.LoadFile(path, 1, 0), 1) << path;
        EXPECT_EQ(rotated.GetWidth(), 16) << path;
        EXPECT_EQ(rotated.GetHeight(), 32) << path;
        EXPECT_TRUE(Near(PictureRgb(rotated, 12, 4), kQuadrant[0], 12)) << path;
        EXPECT_TRUE(Near(PictureRgb(rotated, 4, 4), kQuadrant[2], 12)) << path;
        rotated.ReleaseImage();
    }
    EXPECT_NE(fromJpeg.m_pJpegFile, nullptr); // the decode stays held until the next load
    fromJpeg.ReleaseImage();
    fromGif.ReleaseImage();
}

// A 24-bit picture is encoded straight from its rows: bottom-up and top-down
// blocks both come out upright, colour off gives one grey component, and the
// source's bytes are left exactly as they were.
TEST(Jpeg, TrueColourRowsAreEncodedWhereTheyStand)
{
    TempDir dir;
    std::vector<Rgb> px;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            px.push_back(QuadrantColour(x, y));
    HGLOBAL bottomUp = MakeDib24(32, 16, px);
    // The same picture stored top row first.
    HGLOBAL topDown = MakeDib24(32, 16, px);
    {
        auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(topDown));
        BYTE* bits = reinterpret_cast<BYTE*>(h) + 40;
        const std::size_t stride = 96;
        for (int y = 0; y < 8; ++y)
            std::swap_ranges(bits + stride * std::size_t(y), bits + stride * std::size_t(y + 1),
                             bits + stride * std::size_t(15 - y));
        h->biHeight = -16;
        GlobalUnlock(topDown);
    }
    for (HGLOBAL block : {bottomUp, topDown}) {
        CDib dib;
        ASSERT_EQ(dib.Attach(block), 1);
        const std::size_t bytes = GlobalSize(block);
        const Bytes before(static_cast<BYTE*>(GlobalLock(block)), static_cast<BYTE*>(GlobalLock(block)) + bytes);
        GlobalUnlock(block);
        GlobalUnlock(block);
        JpegFile writer;
        ASSERT_EQ(writer.Save(dir.File("c.jpg"), &dib, 1, 90), 1);
        ASSERT_EQ(writer.Save(dir.File("g.jpg"), &dib, 0, 90), 1);
        const auto* after = static_cast<const BYTE*>(GlobalLock(block));
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after));
        GlobalUnlock(block);

        JpegFile back;
        ASSERT_EQ(back.Load(dir.File("c.jpg")), 1);
        ExpectQuadrants(*back.GetDib(), 10);
        for (const auto& [marker, payload] : Segments(ReadFileBytes(dir.File("g.jpg"))))
            if (marker == 0xC0) {
                EXPECT_EQ(payload[5], 1); // one component
            }
        ASSERT_EQ(back.Load(dir.File("g.jpg")), 1);
        for (int q = 0; q < 4; ++q) {
            const Rgb c = kQuadrant[q];
            const int grey = (299 * c[0] + 587 * c[1] + 114 * c[2] + 500) / 1000;
            const BYTE g = BYTE(grey);
            EXPECT_TRUE(Near(PixelOf(*back.GetDib(), (q % 2) * 16 + 8, (q / 2) * 8 + 4), Rgb{g, g, g}, 8)) << q;
        }
    }
}

// Two components of no known colour space: refused with our text, and the
// library is never asked for a conversion it cannot make.
TEST(Jpeg, UnknownColourSpacesAreRefusedQuietly)
{
    TempDir dir;
    JpegSpec spec;
    spec.space = JCS_UNKNOWN;
    spec.components = 2;
    WriteJpeg(dir.File("two.jpg"), spec, [](int x, int, int c) { return BYTE(c ? 255 - x : x); });
    MessageRecorder messages;
    JpegFile file;
    EXPECT_EQ(file.Load(dir.File("two.jpg")), 0);
    EXPECT_EQ(file.GetLastError(), "JpegFile :\nUnsupported colour components");
    EXPECT_TRUE(messages.messages.empty());
}

// A few hundred bytes can claim a huge picture. One whose DIB could not be
// made is refused before decoding; a progressive one whose coefficients
// alone would take gigabytes stops at the library's memory limit.
TEST(Jpeg, HeadersPromisingHugePicturesAreRefusedEarly)
{
    TempDir dir;
    auto withSize = [&](bool progressive, int width, int height) {
        JpegSpec spec;
        spec.progressive = progressive;
        WriteJpeg(dir.File("small.jpg"), spec, QuadrantSample);
        Bytes file = ReadFileBytes(dir.File("small.jpg"));
        for (std::size_t i = 2; i + 9 < file.size(); ++i)
            if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
                file[i + 5] = BYTE(height >> 8);
                file[i + 6] = BYTE(height);
                file[i + 7] = BYTE(width >> 8);
                file[i + 8] = BYTE(width);
                break;
            }
        WriteFileBytes(dir.File("huge.jpg"), file);
        return dir.File("huge.jpg");
    };
    MessageRecorder messages;
    JpegFile file;
    EXPECT_EQ(file.Load(withSize(false, 65000, 60000)), 0);
    EXPECT_EQ(file.GetLastError(), "JpegFile :\nOut of memory");
    EXPECT_TRUE(messages.captions.empty());

    EXPECT_EQ(file.Load(withSize(true, 20000, 20000)), 0);
    ASSERT_FALSE(messages.captions.empty());
    EXPECT_EQ(messages.captions.back(), "JPEG Fatal Error");
}
