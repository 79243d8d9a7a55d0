// Helpers shared by the core suites: byte builders, temporary folders and a
// recording message sink.
#pragma once

#include "formats/messages.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, unsigned v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// A BMP file: 14-byte file header, 40-byte info header, table, rows.
inline Bytes MakeBmp(int width, int height, int bits, const Bytes& table, const Bytes& rows,
                     std::uint32_t clrUsed = 0, std::uint32_t compression = 0, std::uint32_t offBits = 0,
                     std::uint32_t infoSize = 40)
{
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    const std::uint32_t off = offBits ? offBits : std::uint32_t(54 + table.size());
    Put32(b, off + std::uint32_t(rows.size()));
    Put32(b, 0);
    Put32(b, off);
    Put32(b, infoSize);
    Put32(b, std::uint32_t(width));
    Put32(b, std::uint32_t(height));
    Put16(b, 1);
    Put16(b, unsigned(bits));
    Put32(b, compression);
    Put32(b, std::uint32_t(rows.size()));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, clrUsed);
    Put32(b, 0);
    b.insert(b.end(), table.begin(), table.end());
    while (b.size() < off)
        b.push_back(0);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

inline Bytes ReadFileBytes(const std::string& path)
{
    Bytes b;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            b.insert(b.end(), buf, buf + n);
        std::fclose(f);
    }
    return b;
}

inline void WriteFileBytes(const std::string& path, const Bytes& b)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!b.empty())
        std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/korvex-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made)
            throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
        m_path = made;
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(m_path))
            names.push_back(e.path().filename().string());
        return names;
    }

private:
    std::string m_path;
};

// Installs a sink that records every message for the life of the object.
class MessageRecorder {
public:
    MessageRecorder()
    {
        SetMessageSink([this](const std::string& text, const std::string& caption, MessageIcon) {
            messages.push_back(text);
            captions.push_back(caption);
        });
    }
    ~MessageRecorder() { SetMessageSink({}); }
    std::vector<std::string> messages;
    std::vector<std::string> captions;
};
