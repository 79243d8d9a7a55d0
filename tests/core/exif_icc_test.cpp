// Photos stand upright whatever their EXIF orientation, and saved as JPEG
// or PNG keep their EXIF data, rewritten for the upright pixels; embedded
// colour profiles are converted to sRGB as lcms's ImageMagick client
// converts them, and a picture under another format's extension loads
// without a word.
#include "formats/save.h"
#include "peer_image.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <libexif/exif-data.h>

#include <cstring>
#include <filesystem>
#include <memory>

namespace {

// An "F" of 8-pixel blocks, 3 wide and 5 high: black on white.
const char* const kF[] = {"###", "#..", "##.", "#..", "#.."};

std::string WriteF(const TempDir& dir)
{
    std::string pgm = "P2 24 40 255\n";
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 24; ++x)
            pgm += kF[y / 8][x / 8] == '#' ? "0 " : "255 ";
    const std::string path = dir.File("f.pgm");
    WriteFileBytes(path, Bytes(pgm.begin(), pgm.end()));
    return path;
}

// A big-endian TIFF block holding only the orientation tag.
Bytes OrientationTiff(int orientation)
{
    return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, BYTE(orientation), 0, 0, 0, 0, 0, 0};
}

// The JPEG with an APP1 "Exif" segment holding `tiff` after its JFIF segment.
Bytes WithExifSegment(Bytes jpeg, const Bytes& tiff)
{
    Bytes segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    segment[2] = BYTE((segment.size() - 2) >> 8);
    segment[3] = BYTE(segment.size() - 2);
    std::size_t at = 2;
    if (jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at += 2 + (std::size_t(jpeg[4]) << 8 | jpeg[5]);
    jpeg.insert(jpeg.begin() + std::ptrdiff_t(at), segment.begin(), segment.end());
    return jpeg;
}

std::uint32_t Crc32(const Bytes& b, std::size_t from)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < b.size(); ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The PNG with an eXIf chunk holding `tiff` right after IHDR.
Bytes WithExifChunk(Bytes png, const Bytes& tiff)
{
    Bytes chunk;
    for (int i = 3; i >= 0; --i)
        chunk.push_back(BYTE(tiff.size() >> (8 * i)));
    chunk.insert(chunk.end(), {'e', 'X', 'I', 'f'});
    chunk.insert(chunk.end(), tiff.begin(), tiff.end());
    const std::uint32_t crc = Crc32(chunk, 4);
    for (int i = 3; i >= 0; --i)
        chunk.push_back(BYTE(crc >> (8 * i)));
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

// Loading decodes JPEGs as for a view showing them a little under half
// their size: at a half, averaged down to that.
void ShowAtHalf(CPicture& picture)
{
    picture.m_shownSize = [](int w, int h, int* cx, int* cy) {
        *cx = w / 2 - 1;
        *cy = h / 2 - 1;
    };
}

// Pixel (x, y) from the top-left corner of a picture's reduced decode.
std::array<int, 3> ReducedRgb(const CPicture& picture, int x, int y)
{
    const std::size_t stride = (std::size_t(picture.m_nReducedWidth) * 3 + 3) & ~std::size_t(3);
    const BYTE* p = picture.m_pReducedBits + stride * std::size_t(picture.m_nReducedHeight - 1 - y) + 3 * x;
    return {p[2], p[1], p[0]};
}

void ExpectUprightF(const CPicture& picture, const std::string& what)
{
    ASSERT_EQ(picture.GetWidth(), 24) << what;
    ASSERT_EQ(picture.GetHeight(), 40) << what;
    for (int by = 0; by < 5; ++by)
        for (int bx = 0; bx < 3; ++bx) {
            const int value = PixelRgb(picture, bx * 8 + 4, by * 8 + 4)[1];
            EXPECT_EQ(value < 128, kF[by][bx] == '#') << what << " block " << bx << "," << by;
        }
}

struct ExifRelease {
    void operator()(ExifData* exif) const { exif_data_unref(exif); }
};
using Exif = std::unique_ptr<ExifData, ExifRelease>;

// A phone's EXIF block as a bare TIFF block: taken on its side (orientation
// 6) at `width` x `height`, with a capture date, camera, thumbnail and a
// comment of `commentBytes`.
Bytes PhoneTiff(int width, int height, std::size_t commentBytes)
{
    Exif exif(exif_data_new());
    exif_data_set_byte_order(exif.get(), EXIF_BYTE_ORDER_INTEL);
    auto put = [&](ExifIfd ifd, ExifTag tag, ExifFormat format, const void* data, std::size_t size) {
        ExifEntry* e = exif_entry_new();
        e->data = static_cast<unsigned char*>(std::malloc(size));
        std::memcpy(e->data, data, size);
        e->tag = tag;
        e->format = format;
        e->size = unsigned(size);
        e->components = format == EXIF_FORMAT_SHORT ? 1 : unsigned(size);
        exif_content_add_entry(exif->ifd[ifd], e);
        exif_entry_unref(e);
    };
    auto text = [&](ExifIfd ifd, ExifTag tag, const char* s) {
        put(ifd, tag, EXIF_FORMAT_ASCII, s, std::strlen(s) + 1);
    };
    auto number = [&](ExifIfd ifd, ExifTag tag, int v) {
        const BYTE le[2] = {BYTE(v), BYTE(v >> 8)};
        put(ifd, tag, EXIF_FORMAT_SHORT, le, 2);
    };
    text(EXIF_IFD_0, EXIF_TAG_MAKE, "Acme");
    text(EXIF_IFD_0, EXIF_TAG_MODEL, "Phone 7");
    number(EXIF_IFD_0, EXIF_TAG_ORIENTATION, 6);
    text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, "2026:05:17 09:41:07");
    number(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, width);
    number(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, height);
    if (commentBytes) {
        const Bytes comment(commentBytes, 'x');
        put(EXIF_IFD_EXIF, EXIF_TAG_USER_COMMENT, EXIF_FORMAT_UNDEFINED, comment.data(), comment.size());
    }
    static const BYTE thumbnail[] = {0xFF, 0xD8, 0xFF, 0xD9};
    exif->data = static_cast<unsigned char*>(std::malloc(sizeof thumbnail));
    std::memcpy(exif->data, thumbnail, sizeof thumbnail);
    exif->size = sizeof thumbnail;
    unsigned char* saved = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif.get(), &saved, &size);
    Bytes tiff(saved + 6, saved + size);
    std::free(saved);
    return tiff;
}

// The EXIF block a picture was loaded with, read back, or null.
Exif ReadBack(const CPicture& picture)
{
    if (picture.m_exif.empty())
        return nullptr;
    Bytes block = picture.m_exif;
    if (block[0] != 'E') // a bare TIFF block, as PNG holds it
        block.insert(block.begin(), {'E', 'x', 'i', 'f', 0, 0});
    return Exif(exif_data_new_from_data(block.data(), unsigned(block.size())));
}

int ShortTag(ExifData* exif, ExifIfd ifd, ExifTag tag)
{
    ExifEntry* e = exif_content_get_entry(exif->ifd[ifd], tag);
    return e ? exif_get_short(e->data, exif_data_get_byte_order(exif)) : -1;
}

std::string TextTag(ExifData* exif, ExifIfd ifd, ExifTag tag)
{
    ExifEntry* e = exif_content_get_entry(exif->ifd[ifd], tag);
    return e ? std::string(reinterpret_cast<const char*>(e->data), e->size - 1) : "";
}

// A 40 x 24 JPEG whose left half is black, as the phone stored it.
Bytes StoredPhoto(const TempDir& dir, const Bytes& tiff)
{
    CPicture stored;
    EXPECT_EQ(stored.CreateDib(40, 24, 24, 1), 1);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
            std::memset(stored.GetRow(y) + 3 * x, x < 20 ? 0 : 255, 3);
    const std::string raw = dir.File("stored.jpg");
    EXPECT_EQ(SavePicture(stored, raw, PictureFormat::Jpeg), 1);
    return WithExifSegment(ReadFileBytes(raw), tiff);
}

} // namespace

TEST(ExifOrientation, AllEightStandUprightInJpegAndPng)
{
    if (!HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const std::string f = WriteF(dir);
    // What the camera stored for each orientation: the upright F undone.
    const char* const stored[] = {"", "-flop", "-rotate 180", "-flip", "-transpose", "-rotate 270", "-transverse",
                                  "-rotate 90"};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string raw = dir.File("raw.jpg"), path = dir.File("photo.jpg");
        ASSERT_TRUE(RunTool("convert '" + f + "' " + stored[orientation - 1] + " -strip -quality 100 '" + raw + "'"));
        WriteFileBytes(path, WithExifSegment(ReadFileBytes(raw), OrientationTiff(orientation)));
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(path, 1, 0), 1) << orientation;
        picture.MarkBitsBorrowed();
        ExpectUprightF(picture, "JPEG orientation " + std::to_string(orientation));
        // Decoded at half the size, it stands the same way, and so does the
        // whole picture decoded afterwards from the kept bytes.
        CPicture half;
        ShowAtHalf(half);
        ASSERT_EQ(half.LoadFile(path, 1, 0), 1) << orientation;
        ASSERT_TRUE(half.IsReduced());
        ASSERT_EQ(half.m_nReducedWidth, 11);
        ASSERT_EQ(half.m_nReducedHeight, 19);
        for (int by = 0; by < 5; ++by)
            for (int bx = 0; bx < 3; ++bx)
                EXPECT_EQ(ReducedRgb(half, (2 * bx + 1) * 11 / 6, (2 * by + 1) * 19 / 10)[1] < 128, kF[by][bx] == '#')
                    << orientation << " block " << bx << "," << by;
        ASSERT_EQ(half.LoadFullImage(), 1);
        ExpectUprightF(half, "JPEG orientation " + std::to_string(orientation) + " after a reduced decode");
    }
    for (int orientation : {6, 7}) {
        const std::string raw = dir.File("raw.png"), path = dir.File("photo.png");
        ASSERT_TRUE(RunTool("convert '" + f + "' " + stored[orientation - 1] + " -strip '" + raw + "'"));
        WriteFileBytes(path, WithExifChunk(ReadFileBytes(raw), OrientationTiff(orientation)));
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(path, 1, 0), 1);
        picture.MarkBitsBorrowed();
        ExpectUprightF(picture, "PNG orientation " + std::to_string(orientation));
    }
}

TEST(ColourProfile, WideGamutRedConvertsAsImageMagickConvertsIt)
{
    if (!HaveTool("convert") || !HaveTool("cwebp"))
        GTEST_SKIP() << "ImageMagick or cwebp is not installed";
    TempDir dir;
    // A wide-gamut profile (ProPhoto primaries, gamma 1.8) and sRGB, as files.
    const cmsCIExyY d50 = {0.3457, 0.3585, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE wide = cmsCreateRGBProfile(&d50, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const std::string wideIcc = dir.File("wide.icc"), srgbIcc = dir.File("srgb.icc");
    ASSERT_TRUE(cmsSaveProfileToFile(wide, wideIcc.c_str()));
    ASSERT_TRUE(cmsSaveProfileToFile(srgb, srgbIcc.c_str()));
    cmsCloseProfile(wide);
    cmsCloseProfile(srgb);

    const std::string jpg = dir.File("red.jpg"), png = dir.File("red.png"), webp = dir.File("red.webp");
    const std::string make = "convert -size 16x16 xc:'rgb(220,40,40)' -profile '" + srgbIcc + "' -profile '" +
                             wideIcc + "' ";
    ASSERT_TRUE(RunTool(make + "-quality 100 '" + jpg + "'"));
    ASSERT_TRUE(RunTool(make + "'" + png + "'"));
    ASSERT_TRUE(RunTool("cwebp -lossless -metadata icc '" + png + "' -o '" + webp + "'"));
    for (const std::string& path : {jpg, png, webp}) {
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(path, 1, 0), 1) << path;
        picture.MarkBitsBorrowed();
        PeerImage peer;
        ASSERT_TRUE(ReadPnm("convert '" + path + "' -profile '" + srgbIcc + "' -depth 8 ppm:-", peer)) << path;
        EXPECT_LE(LargestDifference(picture, peer), 2) << path;
        const auto red = PixelRgb(picture, 8, 8);
        // JPEG's rounding in the wide space moves a few levels.
        EXPECT_NEAR(red[0], 220, 5) << path;
        EXPECT_NEAR(red[1], 40, 5) << path;
        EXPECT_NEAR(red[2], 40, 5) << path;
    }
    // A JPEG decoded at half its size is converted the same way.
    CPicture half;
    ShowAtHalf(half);
    ASSERT_EQ(half.LoadFile(jpg, 1, 0), 1);
    ASSERT_TRUE(half.IsReduced());
    const auto red = ReducedRgb(half, 4, 4);
    EXPECT_NEAR(red[0], 220, 5);
    EXPECT_NEAR(red[1], 40, 5);
    EXPECT_NEAR(red[2], 40, 5);
}

TEST(WrongExtension, PicturesLoadByWhatTheyAreAndOthersKeepTheirMessages)
{
    TempDir dir;
    CPicture source;
    ASSERT_EQ(source.CreateDib(5, 3, 24, 1), 1);
    source.GetRow(0)[0] = 200;
    const struct {
        PictureFormat written;
        const char* named;
    } cases[] = {{PictureFormat::Png, "a.jpg"}, {PictureFormat::Jpeg, "b.gif"}, {PictureFormat::Gif, "c.bmp"},
                 {PictureFormat::Bmp, "d.png"}, {PictureFormat::Png, "e.tga"}, {PictureFormat::Jpeg, "f.pcx"}};
    for (const auto& c : cases) {
        const std::string right = dir.File(std::string("right") + FormatExtension(c.written));
        ASSERT_EQ(SavePicture(source, right, c.written), 1);
        std::filesystem::rename(right, dir.File(c.named));
        MessageRecorder recorder;
        CPicture picture;
        EXPECT_EQ(picture.LoadFile(dir.File(c.named), 1, 0), 1) << c.named;
        picture.MarkBitsBorrowed();
        EXPECT_TRUE(recorder.messages.empty()) << c.named << ": " << recorder.messages[0];
        EXPECT_EQ(picture.GetWidth(), 5) << c.named;
        picture.ReleaseImage();
    }
    // Files that are no picture keep the messages of the reader their name chose.
    WriteFileBytes(dir.File("text.jpg"), Bytes{'h', 'e', 'l', 'l', 'o'});
    WriteFileBytes(dir.File("text.png"), Bytes{'h', 'e', 'l', 'l', 'o'});
    MessageRecorder recorder;
    CPicture picture;
    EXPECT_EQ(picture.LoadFile(dir.File("text.jpg"), 1, 0), 0);
    ASSERT_FALSE(recorder.messages.empty());
    EXPECT_EQ(recorder.messages.back(), "载入JPEG文件时发生错误!");
    picture.ReleaseImage();
    recorder.messages.clear();
    EXPECT_EQ(picture.LoadFile(dir.File("text.png"), 1, 0), 0);
    EXPECT_EQ(recorder.messages, std::vector<std::string>{"载入PNG文件时发生错误!"});
}

TEST(ExifSaving, PhotoKeepsItsDataUprightInJpegAndPng)
{
    TempDir dir;
    const std::string photo = dir.File("photo.jpg");
    WriteFileBytes(photo, StoredPhoto(dir, PhoneTiff(40, 24, 0)));
    // Stored lying down with its top to the right: upright it is 24 x 40,
    // black on top; a turn clockwise makes it 40 x 24, black on the right.
    // Decoded at a reduction or whole, it keeps its block until it is saved.
    for (const bool rotate : {false, true}) {
        CPicture picture;
        if (!rotate)
            ShowAtHalf(picture);
        ASSERT_EQ(picture.LoadFile(photo, 1, 0), 1);
        ASSERT_EQ(bool(picture.IsReduced()), !rotate);
        ASSERT_TRUE(!rotate || picture.RotateClockwise());
        const int w = rotate ? 40 : 24, h = rotate ? 24 : 40;
        for (const PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png}) {
            const std::string what = std::string(rotate ? "rotated " : "reduced ") + FormatExtension(format);
            const std::string saved = dir.File(std::string("saved") + FormatExtension(format));
            ASSERT_EQ(SavePicture(picture, saved, format), 1) << what;
            if (format == PictureFormat::Jpeg) { // SOI, JFIF, then the EXIF segment
                const Bytes b = ReadFileBytes(saved);
                const std::size_t at = 4 + (std::size_t(b[4]) << 8 | b[5]);
                ASSERT_EQ(b[3], 0xE0) << what;
                ASSERT_EQ(b[at + 1], 0xE1) << what;
                EXPECT_EQ(std::memcmp(&b[at + 4], "Exif\0\0", 6), 0) << what;
            }
            CPicture back;
            ASSERT_EQ(back.LoadFile(saved, 1, 0), 1) << what;
            back.MarkBitsBorrowed();
            ASSERT_EQ(back.GetWidth(), w) << what;
            ASSERT_EQ(back.GetHeight(), h) << what;
            EXPECT_LT(PixelRgb(back, rotate ? 30 : 12, rotate ? 12 : 10)[1], 64) << what;
            EXPECT_GT(PixelRgb(back, rotate ? 10 : 12, rotate ? 12 : 30)[1], 192) << what;
            const Exif exif = ReadBack(back);
            ASSERT_TRUE(exif) << what;
            EXPECT_EQ(ShortTag(exif.get(), EXIF_IFD_0, EXIF_TAG_ORIENTATION), 1) << what;
            EXPECT_EQ(ShortTag(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), w) << what;
            EXPECT_EQ(ShortTag(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION), h) << what;
            EXPECT_EQ(TextTag(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), "2026:05:17 09:41:07") << what;
            EXPECT_EQ(TextTag(exif.get(), EXIF_IFD_0, EXIF_TAG_MODEL), "Phone 7") << what;
            EXPECT_EQ(exif->size, 0u) << what << ": the thumbnail stayed";
            EXPECT_EQ(exif->ifd[EXIF_IFD_1]->count, 0u) << what;
        }
    }
}

TEST(ExifSaving, UnreadableOrOversizedBlocksAreLeftOutOfASuccessfulSave)
{
    TempDir dir;
    // A block longer than a segment holds (a PNG can hold it), one whose
    // directory points past its end, and one that is no TIFF block at all.
    const Bytes big = PhoneTiff(40, 24, 70000);
    const Bytes pastEnd = {'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF, 0, 0};
    const Bytes junk = {'j', 'u', 'n', 'k', 0, 1, 2, 3, 4, 5, 6, 7};
    CPicture plain;
    ASSERT_EQ(plain.CreateDib(6, 4, 24, 1), 1);
    const std::string png = dir.File("plain.png"), jpg = dir.File("plain.jpg");
    ASSERT_EQ(SavePicture(plain, png, PictureFormat::Png), 1);
    ASSERT_EQ(SavePicture(plain, jpg, PictureFormat::Jpeg), 1);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {{"big.png", WithExifChunk(ReadFileBytes(png), big)},
                 {"past-end.jpg", WithExifSegment(ReadFileBytes(jpg), pastEnd)},
                 {"junk.jpg", WithExifSegment(ReadFileBytes(jpg), junk)}};
    for (const auto& c : cases) {
        WriteFileBytes(dir.File(c.name), c.file);
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(dir.File(c.name), 1, 0), 1) << c.name;
        picture.MarkBitsBorrowed();
        EXPECT_FALSE(picture.m_exif.empty()) << c.name;
        for (const PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png}) {
            const std::string saved = dir.File(std::string("saved") + FormatExtension(format));
            ASSERT_EQ(SavePicture(picture, saved, format), 1) << c.name;
            CPicture back;
            ASSERT_EQ(back.LoadFile(saved, 1, 0), 1) << c.name;
            back.MarkBitsBorrowed();
            EXPECT_TRUE(back.m_exif.empty()) << c.name << " saved as " << FormatExtension(format);
        }
    }
}
