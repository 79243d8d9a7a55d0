// Every reader against truncations of valid files at every length and
// single-byte corruptions of every header byte: each input either loads a
// consistent picture or is refused with the reader's own message (BMP,
// JPEG, GIF, PNG, WebP) or silently (TGA, PCX). Each input is an exact-size heap copy,
// so a read past its end is caught by the sanitizer build.
#include "picture/picture.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

enum class Reader { Bmp, Tga, Pcx, Jpeg, Gif, Png, Webp };

struct Case {
    const char* folder;
    Reader reader;
    std::size_t headerBytes;
    const char* refusal; // the one message of a refused file, or null for silent readers
};

const Case kCases[] = {
    {"bmp", Reader::Bmp, 54, nullptr},
    {"tga", Reader::Tga, 18, nullptr},
    {"pcx", Reader::Pcx, 128, nullptr},
    {"gif", Reader::Gif, 13, "载入GIF文件时发生错误!"},
    {"jpeg", Reader::Jpeg, 24, "载入JPEG文件时发生错误!"},
    {"png", Reader::Png, 33, "载入PNG文件时发生错误!"},
    {"webp", Reader::Webp, 30, "载入WebP文件时发生错误!"},
};

// Runs one input and checks the outcome; returns a description of what was
// wrong, or an empty string.
std::string Check(const Case& c, const Bytes& input, const TempDir& dir)
{
    MessageRecorder recorder;
    CPicture picture;
    int result = 0;
    std::unique_ptr<BYTE[]> copy(new BYTE[std::max<std::size_t>(input.size(), 1)]);
    std::copy(input.begin(), input.end(), copy.get());
    switch (c.reader) {
    case Reader::Bmp: result = picture.ReadBmp(copy.get(), input.size(), 1, 0); break;
    case Reader::Tga: result = picture.ReadTga(copy.get(), input.size(), 1); break;
    case Reader::Pcx: result = picture.ReadPcx(copy.get(), input.size(), 1); break;
    case Reader::Jpeg:
    case Reader::Gif:
    case Reader::Png:
    case Reader::Webp: {
        // Through LoadFile, which adds the message (and may try the reader
        // of what a damaged header now looks like).
        const char* names[] = {"x.jpg", "x.gif", "x.png", "x.webp"};
        const std::string path = dir.File(names[int(c.reader) - int(Reader::Jpeg)]);
        WriteFileBytes(path, input);
        result = picture.LoadFile(path, 1, 0);
        break;
    }
    }
    if (result) {
        if (!picture.HasImage() || picture.GetWidth() <= 0 || picture.GetHeight() <= 0)
            return "loaded without a picture";
        const std::int64_t stride = (std::int64_t(picture.GetWidth()) * picture.GetBitCount() + 31) / 32 * 4;
        if (picture.GetRowBytes() != stride || picture.GetImageSize() != stride * picture.GetHeight())
            return "inconsistent sizes";
        // Read both ends of the pixels: a short allocation shows up here
        // (touching every byte of a 2 GB corruption would take minutes).
        volatile BYTE sum = BYTE(picture.GetBits()[0] + picture.GetBits()[picture.GetImageSize() - 1]);
        (void)sum;
        if (!recorder.messages.empty())
            return "loaded with a message: " + recorder.messages[0];
        picture.MarkBitsBorrowed();
        return {};
    }
    if (c.reader != Reader::Jpeg && c.reader != Reader::Gif && picture.HasImage())
        return "refused but left a picture";
    if (c.reader == Reader::Bmp)
        return recorder.messages.size() == 1 ? "" : "BMP refusal without exactly one message";
    if (c.reader == Reader::Jpeg) {
        // The library's own box may come first; the load's message comes last.
        const std::size_t n = recorder.messages.size();
        if (n == 0 || n > 2 || recorder.messages[n - 1] != c.refusal)
            return "refusal without its message";
        return n == 1 || recorder.captions[0] == "JPEG Fatal Error" ? "" : "unexpected " + recorder.messages[0];
    }
    if (c.refusal)
        return recorder.messages.size() == 1 && recorder.messages[0] == c.refusal ? ""
                                                                                   : "refusal without its message";
    return recorder.messages.empty() ? "" : "silent reader showed " + recorder.messages[0];
}

std::vector<std::filesystem::path> Seeds(const char* folder)
{
    std::vector<std::filesystem::path> files;
    const std::filesystem::path dir = std::filesystem::path(KORVEX_SOURCE_DIR) / "fuzz" / "corpus" / folder;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        // Inputs kept from fuzzing are not valid files to start from (and a
        // 2 GB one would make the sweep crawl); the corpus runs cover them.
        if (entry.is_regular_file() && entry.path().filename().string().rfind("fuzz-", 0) != 0)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(ReaderSweep, TruncationsAndHeaderCorruptionsLoadOrRefuse)
{
    TempDir dir;
    for (const Case& c : kCases) {
        const auto seeds = Seeds(c.folder);
        ASSERT_FALSE(seeds.empty()) << c.folder;
        for (const auto& seed : seeds) {
            const Bytes file = ReadFileBytes(seed.string());
            for (std::size_t length = 0; length < file.size(); ++length) {
                const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(length));
                const std::string fault = Check(c, cut, dir);
                ASSERT_TRUE(fault.empty()) << seed.filename() << " cut to " << length << ": " << fault;
            }
            const std::size_t header = std::min(c.headerBytes, file.size());
            for (std::size_t offset = 0; offset < header; ++offset)
                for (BYTE value : {BYTE(0x00), BYTE(0xFF), BYTE(0x80), BYTE(file[offset] ^ 0x01)}) {
                    Bytes bad = file;
                    bad[offset] = value;
                    const std::string fault = Check(c, bad, dir);
                    ASSERT_TRUE(fault.empty()) << seed.filename() << " byte " << offset << " = " << int(value)
                                               << ": " << fault;
                }
        }
    }
}
