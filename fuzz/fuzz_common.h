// Shared pieces of the fuzz targets: a silent message sink and a scratch
// file for the readers that take a path.
#pragma once

#include "formats/messages.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

inline void SilenceMessages()
{
    static const bool once = [] {
        SetMessageSink([](const std::string&, const std::string&, MessageIcon) {});
        return true;
    }();
    (void)once;
}

// A per-process scratch folder, removed at exit.
inline const std::string& ScratchDir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/korvex-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
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
