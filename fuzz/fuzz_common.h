// Shared pieces of the fuzz targets: a silent message sink, the picture size
// they accept and a scratch file for the readers that take a path.
#pragma once

#include "formats/messages.h"
#include "picture/picture.h"
#include "platform/dibformat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// At most 256 K pixels (512 x 512), so that every input decodes in well under
// a millisecond and the fuzzer spends its time on the parsing rather than on
// faulting in fresh pages. Every branch of the readers is reached at this
// size; a larger picture only repeats the same rows.
constexpr std::uint64_t kFuzzPixelLimit = 256u << 10;

inline void SilenceMessages()
{
    static const bool once = [] {
        SetMessageSink([](const std::string&, const std::string&, MessageIcon) {});
        SetDibPixelLimit(kFuzzPixelLimit);
        return true;
    }();
    (void)once;
}

// A per-process scratch folder in memory where there is one (the readers
// that take a path open a real file every time), removed at exit. Never
// destroyed, so that the removal can still read its name.
inline const std::string& ScratchDir()
{
    static const std::string* dir = [] {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string pattern = std::string(base) + "/korvex-fuzz-XXXXXX";
            if (mkdtemp(pattern.data())) {
                auto* made = new std::string(pattern);
                std::atexit([] {
                    std::error_code ignored;
                    std::filesystem::remove_all(ScratchDir(), ignored);
                });
                return made;
            }
        }
        return new std::string("/tmp");
    }();
    return *dir;
}

inline std::string WriteScratch(const char* name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = ScratchDir() + "/" + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

// Reads every byte of the first and the last stored row, so that a block
// shorter than the picture shows up; the rows between would only cost time
// (a tall picture of a few bytes has millions of them).
inline void TouchPictureEnds(const CPicture& picture)
{
    if (!picture.GetBits() || picture.GetHeight() <= 0)
        return;
    volatile BYTE sum = 0;
    for (int row : {0, picture.GetHeight() - 1})
        for (int i = 0; i < picture.GetRowBytes(); ++i)
            sum = BYTE(sum + picture.GetRow(row)[i]);
}
