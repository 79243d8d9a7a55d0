#include "dib_util.h"
#include "formats/gifcodec.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

// Header, screen, 768-byte table, image descriptor and code size: the LZW
// sub-blocks start here in every file the writer makes.
constexpr std::size_t kDataStart = 6 + 7 + 768 + 10 + 1;

struct GifData {
    std::vector<int> blockLengths;
    Bytes lzw;
    bool terminated = false;
};

GifData SubBlocks(const Bytes& file)
{
    GifData d;
    std::size_t pos = kDataStart;
    while (pos < file.size()) {
        const int n = file[pos++];
        if (n == 0) {
            d.terminated = pos < file.size() && file[pos] == ';' && pos + 1 == file.size();
            break;
        }
        d.blockLengths.push_back(n);
        d.lzw.insert(d.lzw.end(), file.begin() + long(pos), file.begin() + long(pos + n));
        pos += std::size_t(n);
    }
    return d;
}

// Least-significant-bit-first code reader.
class Codes {
public:
    explicit Codes(const Bytes& data) : m_data(data) {}
    int Read(int bits)
    {
        int code = 0;
        for (int i = 0; i < bits; ++i, ++m_bit) {
            if (m_bit / 8 >= m_data.size())
                return -1;
            code |= ((m_data[m_bit / 8] >> (m_bit % 8)) & 1) << i;
        }
        return code;
    }
    std::size_t BitsLeft() const { return m_data.size() * 8 - m_bit; }

private:
    const Bytes& m_data;
    std::size_t m_bit = 0;
};

int g_identity[256];
struct IdentityInit {
    IdentityInit()
    {
        for (int i = 0; i < 256; ++i)
            g_identity[i] = i;
    }
} g_identityInit;

// Index i has colour (i, 255 - i, i * 7 mod 256): every index its own colour.
Rgb ColourOf(int i)
{
    return Rgb{BYTE(i), BYTE(255 - i), BYTE(i * 7)};
}

} // namespace

TEST(GifWrite, OnePixelFileByteForByte)
{
    TempDir dir;
    int red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = i;
        green[i] = 0x100 | (255 - i); // only the low byte is written
        blue[i] = 7;
    }
    const BYTE pixel = 5;
    GifCodec codec;
    ASSERT_EQ(codec.EncodeGif(dir.File("one.gif"), &pixel, 1, 1, 0, red, green, blue), 1);

    Bytes want = {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0xE7, 0, 0};
    for (int i = 0; i < 256; ++i) {
        want.push_back(BYTE(i));
        want.push_back(BYTE(255 - i));
        want.push_back(7);
    }
    for (BYTE b : Bytes{',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 8})
        want.push_back(b);
    // Clear 256, pixel 5, end 257 as 9-bit codes: 0x100 | 5 << 9 | 0x101 << 18 = 0x04040B00.
    for (BYTE b : Bytes{4, 0x00, 0x0B, 0x04, 0x04, 0, ';'})
        want.push_back(b);
    EXPECT_EQ(ReadFileBytes(dir.File("one.gif")), want);
    EXPECT_EQ(codec.GetLastError(), "No Error");
}

TEST(GifWrite, CodeWidthsGrowAndAFullTableClearsAtTwelveBits)
{
    // Blocks of 256 pixels j * d mod 256 for odd steps d: no two neighbouring
    // pairs repeat, so every pixel is sent as its own code and adds one entry.
    std::vector<BYTE> pixels;
    for (int d = 1; d <= 31; d += 2)
        for (int j = 0; j < 256; ++j)
            pixels.push_back(BYTE(j * d));
    ASSERT_EQ(pixels.size(), 4096u);
    const int width = 64, height = 64;

    TempDir dir;
    GifCodec codec;
    ASSERT_EQ(codec.EncodeGif(dir.File("t.gif"), pixels.data(), width, height, 0, g_identity, g_identity, g_identity),
              1);
    const GifData data = SubBlocks(ReadFileBytes(dir.File("t.gif")));
    ASSERT_TRUE(data.terminated);
    ASSERT_GT(data.blockLengths.size(), 2u);
    for (std::size_t i = 0; i + 1 < data.blockLengths.size(); ++i)
        ASSERT_EQ(data.blockLengths[i], 254) << "sub-block " << i;
    EXPECT_LE(data.blockLengths.back(), 254);

    // Pixel k is sent while code 258 + k is being assigned: 9 bits up to and
    // including the send that assigns 511, then 10, 11 and 12 bits. The send
    // that finds the table full (k = 3838) is followed by a 12-bit clear.
    Codes codes(data.lzw);
    EXPECT_EQ(codes.Read(9), 256);
    std::size_t k = 0;
    auto widthFor = [](std::size_t i) { return i <= 254 ? 9 : i <= 766 ? 10 : i <= 1790 ? 11 : 12; };
    for (; k <= 3838; ++k)
        ASSERT_EQ(codes.Read(widthFor(k)), pixels[k]) << "pixel " << k;
    EXPECT_EQ(codes.Read(12), 256);
    // Back at 9 bits for the remaining 257 pixels; the 256th of them is sent
    // after 511 has been assigned again, so it and the end code take 10 bits.
    for (std::size_t i = 0; k < pixels.size(); ++k, ++i)
        ASSERT_EQ(codes.Read(i <= 254 ? 9 : 10), pixels[k]) << "pixel " << k;
    EXPECT_EQ(codes.Read(10), 257);
    EXPECT_LT(codes.BitsLeft(), 8u);

    // And the reader agrees.
    ASSERT_EQ(codec.Load(dir.File("t.gif")), 1) << codec.GetLastError();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = pixels[std::size_t(y * width + x)];
            ASSERT_EQ(PixelOf(*codec.GetDib(), x, y), (Rgb{BYTE(v), BYTE(v), BYTE(v)})) << x << "," << y;
        }
}

TEST(GifWrite, RepetitiveAndRandomPicturesReadBack)
{
    // Long runs reach the longest strings; noise fills and clears the table
    // many times over.
    std::vector<BYTE> runs(300 * 200), noise(257 * 131);
    for (std::size_t i = 0; i < runs.size(); ++i)
        runs[i] = BYTE((i / 997) % 3);
    std::uint32_t seed = 12345;
    for (BYTE& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = BYTE(seed >> 16);
    }
    int red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        const Rgb c = ColourOf(i);
        red[i] = c[0];
        green[i] = c[1];
        blue[i] = c[2];
    }
    TempDir dir;
    struct Case {
        const std::vector<BYTE>& pixels;
        int width, height;
    } cases[] = {{runs, 300, 200}, {noise, 257, 131}};
    for (const Case& c : cases) {
        GifCodec codec;
        ASSERT_EQ(codec.EncodeGif(dir.File("r.gif"), c.pixels.data(), c.width, c.height, 0, red, green, blue), 1);
        ASSERT_EQ(codec.Load(dir.File("r.gif")), 1) << codec.GetLastError();
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(PixelOf(*codec.GetDib(), x, y), ColourOf(c.pixels[std::size_t(y * c.width + x)]))
                    << c.width << ": " << x << "," << y;
    }
}

TEST(GifWrite, TrueColourIsQuantizedUnderTheWaitCursor)
{
    // An "F" of three colours on a fourth, so flips and channel swaps show.
    const int w = 5, h = 7;
    const Rgb bg{10, 20, 200}, bar{250, 0, 0}, arm{0, 240, 5}, foot{255, 255, 255};
    std::vector<Rgb> px(w * h, bg);
    for (int y = 0; y < h; ++y)
        px[std::size_t(y * w + 1)] = bar;
    for (int x = 2; x < 5; ++x)
        px[std::size_t(x)] = arm;
    px[std::size_t(3 * w + 2)] = arm;
    px[std::size_t((h - 1) * w + 1)] = foot;

    int begins = 0, ends = 0;
    SetWaitCursorHooks([&] { ++begins; }, [&] { ++ends; });
    CDib source;
    ASSERT_EQ(source.Attach(MakeDib24(w, h, px)), 1);
    TempDir dir;
    GifCodec writer;
    ASSERT_EQ(writer.Save(dir.File("f.gif"), &source), 1);
    SetWaitCursorHooks({}, {});
    EXPECT_GE(begins, 1);
    EXPECT_EQ(begins, ends);
    EXPECT_EQ(source.GetBitCount(), 24); // the caller's CDib is untouched
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(PixelOf(source, x, y), px[std::size_t(y * w + x)]);

    const Bytes file = ReadFileBytes(dir.File("f.gif"));
    ASSERT_GT(file.size(), kDataStart);
    EXPECT_EQ(file[10], 0xE7);
    GifCodec reader;
    ASSERT_EQ(reader.Load(dir.File("f.gif")), 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(PixelOf(*reader.GetDib(), x, y), px[std::size_t(y * w + x)]) << x << "," << y;

    // Saving with no CDib writes the codec's own decode.
    ASSERT_EQ(reader.Save(dir.File("again.gif"), nullptr), 1);
    GifCodec again;
    ASSERT_EQ(again.Load(dir.File("again.gif")), 1);
    EXPECT_EQ(PixelOf(*again.GetDib(), 1, 6), foot);
    EXPECT_EQ(GifCodec().Save(dir.File("none.gif"), nullptr), 0);
}

TEST(GifWrite, EightBitPaletteIsPaddedWithBlackAndNotQuantized)
{
    const std::vector<Rgb> table = {{1, 2, 3}, {200, 100, 50}, {0, 0, 255}};
    const std::vector<BYTE> indices = {0, 1, 2, 1, 2, 0};
    int begins = 0;
    SetWaitCursorHooks([&] { ++begins; }, {});
    CDib source;
    ASSERT_EQ(source.Attach(MakeDib8(3, 2, table, indices)), 1);
    TempDir dir;
    GifCodec codec;
    ASSERT_EQ(codec.Save(dir.File("p.gif"), &source), 1);
    SetWaitCursorHooks({}, {});
    EXPECT_EQ(begins, 0);

    const Bytes file = ReadFileBytes(dir.File("p.gif"));
    ASSERT_GT(file.size(), kDataStart);
    for (std::size_t i = 0; i < 256; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            ASSERT_EQ(file[13 + 3 * i + c], i < table.size() ? table[i][c] : 0) << i;
    ASSERT_EQ(codec.Load(dir.File("p.gif")), 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelOf(*codec.GetDib(), x, y), table[indices[std::size_t(y * 3 + x)]]);
}

TEST(GifWrite, FailuresKeepWhatStoodAtThePath)
{
    TempDir dir;
    const BYTE pixel = 0;
    GifCodec codec;
    EXPECT_EQ(codec.EncodeGif(dir.File("missing/x.gif"), &pixel, 1, 1, 0, g_identity, g_identity, g_identity), 0);
    EXPECT_EQ(codec.GetLastError(), "Can't open GIF for writing");

    // A write that fails part-way (file size limit) reports once and leaves
    // the old file as it was, with no temporary file beside it.
    const Bytes old = {'o', 'l', 'd'};
    WriteFileBytes(dir.File("big.gif"), old);
    std::vector<BYTE> noise(200 * 200);
    std::uint32_t seed = 1;
    for (BYTE& b : noise)
        b = BYTE((seed = seed * 1664525u + 1013904223u) >> 24);
    MessageRecorder recorder;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const int result = codec.EncodeGif(dir.File("big.gif"), noise.data(), 200, 200, 0, g_identity, g_identity,
                                       g_identity);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(recorder.messages, std::vector<std::string>{"Write Error in GIF file"});
    EXPECT_EQ(ReadFileBytes(dir.File("big.gif")), old);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.gif"});
}
