// GIF LZW decoding of one image's data sub-blocks. Each decode has its own
// state, so codec objects never see each other's tables.
#pragma once

#include "platform/windef.h"

#include <cstddef>
#include <cstdint>


class LzwDecoder {
public:
    // Decode may write this many bytes past `capacity` (and read them back).
    static constexpr std::size_t kSlack = 16;

    LzwDecoder() = default;
    ~LzwDecoder();
    LzwDecoder(const LzwDecoder&) = delete;
    LzwDecoder& operator=(const LzwDecoder&) = delete;

    // Gathers the sub-blocks that start at `data`, up to the zero-length one
    // or to the first whose length byte promises more than `length` holds.
    // False for a minimum code size outside 2..11, or when memory runs out.
    bool Start(const BYTE* data, std::size_t length, int minCodeSize);
    // Decodes colour indices into `out` (capacity + kSlack bytes) until the
    // end code, the end of the data, a bad code or `capacity` indices.
    // Returns how many indices were written. Colours above 255 (code sizes
    // above 8) come out as 0.
    std::size_t Decode(BYTE* out, std::size_t capacity);

private:
    BYTE* m_codes = nullptr; // the sub-blocks' bytes, joined, plus zero padding
    std::size_t m_bytes = 0;
    int m_initSize = 0;
    // Every string a code stands for has occurred in the output already:
    // where, and how long it is.
    std::uint32_t m_offset[4096] = {};
    std::uint16_t m_length[4096] = {};
};
