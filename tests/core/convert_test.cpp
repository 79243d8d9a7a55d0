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

    EXPECT_EQ(Convert(dir.File("bad.bmp") + " " + dir.File("out.png")).status, 2);
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
