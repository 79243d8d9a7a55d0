// The regression corpus: every file of tests/data/expected.tsv loads with
// the recorded size, depth and pixel checksum, or is refused with the
// recorded message. The table is reviewed through its diff; run the suite
// with KORVEX_PRINT_TABLE=1 to print the table the code gives now.
#include "picture/picture.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// CRC-32 as zlib computes it, so that a peer's decode can be checked with
// any CRC tool.
unsigned long Crc32(const Bytes& data)
{
    unsigned long crc = 0xFFFFFFFFul;
    for (BYTE byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1ul)));
    }
    return crc ^ 0xFFFFFFFFul;
}

// The picture as top-down RGB bytes, the form peers decode to, so that the
// checksums can be compared against another decoder.
Bytes TopDownRgb(const CPicture& p)
{
    Bytes rgb;
    const int w = p.GetWidth(), h = p.GetHeight(), bits = p.m_nBitCount;
    const RGBQUAD* table = p.m_pColorTable;
    const int colours = p.m_nColors;
    for (int y = h - 1; y >= 0; --y) {
        const BYTE* row = p.GetRow(y);
        for (int x = 0; x < w; ++x) {
            BYTE r = 0, g = 0, b = 0;
            if (bits <= 8) {
                const int per = 8 / bits;
                const int index = (row[x / per] >> ((per - 1 - x % per) * bits)) & ((1 << bits) - 1);
                if (table && index < colours) {
                    r = table[index].rgbRed;
                    g = table[index].rgbGreen;
                    b = table[index].rgbBlue;
                }
            } else if (bits == 16) {
                const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
                auto expand = [](unsigned c) { return BYTE((c << 3) | (c >> 2)); };
                r = expand((v >> 10) & 31);
                g = expand((v >> 5) & 31);
                b = expand(v & 31);
            } else {
                const int n = bits / 8;
                b = row[x * n];
                g = row[x * n + 1];
                r = row[x * n + 2];
            }
            rgb.push_back(r);
            rgb.push_back(g);
            rgb.push_back(b);
        }
    }
    return rgb;
}

std::string Outcome(const std::string& path)
{
    MessageRecorder recorder;
    CPicture picture;
    std::ostringstream out;
    if (picture.LoadFile(path, 1, 0) && picture.HasImage()) {
        // A giant picture of a few bytes is checked by its size alone.
        if (std::int64_t(picture.GetWidth()) * picture.GetHeight() > (1 << 24)) {
            out << "loaded\t" << picture.GetWidth() << "\t" << picture.GetHeight() << "\t" << picture.m_nBitCount
                << "\t-";
            return out.str();
        }
        const Bytes rgb = TopDownRgb(picture);
        const unsigned long crc = Crc32(rgb);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lx", crc);
        out << "loaded\t" << picture.GetWidth() << "\t" << picture.GetHeight() << "\t" << picture.m_nBitCount
            << "\t" << hex;
    } else {
        out << "refused";
        for (const std::string& m : recorder.messages) {
            std::string one = m;
            for (char& c : one)
                if (c == '\n' || c == '\t')
                    c = ' ';
            out << "\t" << one;
        }
    }
    return out.str();
}

} // namespace

TEST(RegressionCorpus, EveryFileAsRecorded)
{
    const std::string root = KORVEX_SOURCE_DIR;
    std::ifstream table(root + "/tests/data/expected.tsv");
    ASSERT_TRUE(table) << "tests/data/expected.tsv is missing";
    const bool print = std::getenv("KORVEX_PRINT_TABLE") != nullptr;
    std::string line;
    int files = 0;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const std::string file = line.substr(0, tab);
        const std::string expected = line.substr(tab + 1);
        const std::string actual = Outcome(root + "/" + file);
        if (print)
            std::printf("%s\t%s\n", file.c_str(), actual.c_str());
        EXPECT_EQ(actual, expected) << file;
        ++files;
    }
    EXPECT_GE(files, 40);
}
