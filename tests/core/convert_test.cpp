#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace {

struct ConvertRun {
    int status;
    std::string out;
    std::string err;
};

ConvertRun Convert(const std::string& args)
{
    TempDir io;
    const std::string cmd = std::string(KORVEX_CONVERT_PATH) + " " + args + " >" + io.File("o") + " 2>" + io.File("e");
    const int raw = std::system(cmd.c_str());
    ConvertRun r{};
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes o = ReadFileBytes(io.File("o")), e = ReadFileBytes(io.File("e"));
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    return r;
}

} // namespace

TEST(Convert, ConvertsAndDescribes)
{
    TempDir dir;
    const Bytes bmp = MakeBmp(3, 2, 24, {}, Bytes(24, 9));
    WriteFileBytes(dir.File("in.bmp"), bmp);
    ConvertRun r = Convert(dir.File("in.bmp") + " " + dir.File("out.BMP"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(dir.File("out.BMP")), bmp);
    r = Convert("--info " + dir.File("in.bmp"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "3 2 24 0 " + std::to_string(bmp.size()) + "\n");
}

TEST(Convert, RefusalsAndBadArguments)
{
    TempDir dir;
    Bytes bad = MakeBmp(3, 2, 24, {}, Bytes(24, 9));
    bad[0] = 'Z';
    WriteFileBytes(dir.File("bad.bmp"), bad);
    ConvertRun r = Convert(dir.File("bad.bmp") + " " + dir.File("out.bmp"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bfh.bfType != 'MB'"), std::string::npos);
    EXPECT_EQ(dir.Names().size(), 1u); // nothing written

    EXPECT_EQ(Convert(dir.File("bad.bmp") + " " + dir.File("out.webp")).status, 2);
    EXPECT_EQ(Convert("").status, 2);
    EXPECT_EQ(Convert("a b c").status, 2);
    EXPECT_EQ(Convert(dir.File("missing.bmp") + " " + dir.File("o.bmp")).status, 1);
}

TEST(Convert, HostileFilesNeverCrash)
{
    TempDir dir;
    const Bytes good = MakeBmp(4, 4, 8, Bytes(1024, 3), Bytes(16, 1));
    for (std::size_t cut = 0; cut < good.size(); cut += 97) {
        WriteFileBytes(dir.File("t.bmp"), Bytes(good.begin(), good.begin() + cut));
        const ConvertRun r = Convert(dir.File("t.bmp") + " " + dir.File("o.bmp"));
        EXPECT_EQ(r.status, 1) << cut;
    }
}

TEST(Convert, RotatesClockwiseBeforeWriting)
{
    // 3 x 2 as seen: top row A B C, bottom row D E F (stored bottom row first).
    const Bytes a{1, 1, 1}, b{2, 2, 2}, c{3, 3, 3}, d{4, 4, 4}, e{5, 5, 5}, f{6, 6, 6};
    auto rows = [](std::initializer_list<std::initializer_list<Bytes>> stored) {
        Bytes out;
        for (const auto& row : stored) {
            for (const Bytes& px : row)
                out.insert(out.end(), px.begin(), px.end());
            while (out.size() % 4)
                out.push_back(0);
        }
        return out;
    };
    TempDir dir;
    WriteFileBytes(dir.File("in.bmp"), MakeBmp(3, 2, 24, {}, rows({{d, e, f}, {a, b, c}})));
    struct Case {
        const char* degrees;
        Bytes expected;
    } cases[] = {
        // Clockwise: top row D A, then E B, then F C.
        {"90", MakeBmp(2, 3, 24, {}, rows({{f, c}, {e, b}, {d, a}}))},
        {"180", MakeBmp(3, 2, 24, {}, rows({{c, b, a}, {f, e, d}}))},
        {"270", MakeBmp(2, 3, 24, {}, rows({{a, d}, {b, e}, {c, f}}))},
    };
    for (const Case& k : cases) {
        const ConvertRun r = Convert(std::string("--rotate ") + k.degrees + " " + dir.File("in.bmp") + " " +
                                     dir.File("out.bmp"));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFileBytes(dir.File("out.bmp")), k.expected) << k.degrees;
    }

    for (const char* bad : {"--rotate 45 ", "--rotate -90 ", "--rotate ", "--rotate 90 --info "}) {
        const ConvertRun r = Convert(bad + dir.File("in.bmp") + " " + dir.File("bad.bmp"));
        EXPECT_EQ(r.status, 2) << bad;
    }
    EXPECT_NE(Convert("--rotate 45 " + dir.File("in.bmp") + " " + dir.File("bad.bmp")).err.find("90, 180 or 270"),
              std::string::npos);
    EXPECT_EQ(Convert("--rotate 90 " + dir.File("missing.bmp") + " " + dir.File("bad.bmp")).status, 1);
    EXPECT_TRUE(ReadFileBytes(dir.File("bad.bmp")).empty());
}
