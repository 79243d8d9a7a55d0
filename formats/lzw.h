// GIF LZW coding of one image's data sub-blocks, both ways. Each coder has
// its own state, so codec objects never see each other's tables.
#pragma once

#include "platform/windef.h"

class SafeFile;

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
    // The last decode met the end code, but the data ended before the
    // zero-length sub-block that closes the stream.
    bool EndWithoutTerminator() const { return m_sawEnd && !m_terminated; }

private:
    // The string written last: where it starts in the output and its length.
    struct Previous {
        bool have = false;
        std::size_t pos = 0;
        unsigned length = 0;
    };
    // Writes the string of table code `code` at out + pos, or the string
    // being defined when `code` is `next`, and sets `*length`. False when
    // only `room` bytes of it fit, which it then fills.
    bool CopyEntry(unsigned code, unsigned next, const Previous& prev, BYTE* out, std::size_t pos, std::size_t room,
                   unsigned* length) const;

    BYTE* m_codes = nullptr; // the sub-blocks' bytes, joined, plus zero padding
    std::size_t m_bytes = 0;
    int m_initSize = 0;
    bool m_terminated = false; // the zero-length sub-block was found
    bool m_sawEnd = false;
    // Every string a code stands for has occurred in the output already:
    // where, and how long it is.
    std::uint32_t m_offset[4096] = {};
    std::uint16_t m_length[4096] = {};
};

// Variable-length codes of 9 to 12 bits from 8-bit colour indices, with a
// hashed string table, written as data sub-blocks of up to 254 bytes.
class LzwEncoder {
public:
    // Encodes width x height indices read where they stand: row y (top row
    // first) starts at firstRow + y * rowStep. Ends with the end code and
    // flushes the file; a stream error then shows "Write Error in GIF file"
    // and is remembered.
    void Encode(SafeFile& file, const BYTE* firstRow, std::ptrdiff_t rowStep, int width, int height);
    bool WriteErrorShown() const { return m_writeErrorShown; }

private:
    static constexpr int kInitBits = 9;
    static constexpr int kHashSize = 5003;
    static constexpr int kMaxBits = 12;
    static constexpr int kMaxMaxCode = 1 << kMaxBits;
    static constexpr int kClearCode = 256;
    static constexpr int kEndCode = 257;

    int NextPixel();
    void ClearHash();
    int Find(int c, int prefix, int* slot) const;
    void Output(int code);
    void PacketByte(BYTE b);
    void FlushPacket();

    // The pixel source: the next pixel's row start, column and rows left.
    const BYTE* m_row = nullptr;
    std::ptrdiff_t m_rowStep = 0;
    int m_width = 0;
    int m_column = 0;
    int m_rowsLeft = 0;
    std::int32_t m_hash[kHashSize];
    std::uint16_t m_codes[kHashSize];
    int m_freeCode = 0;
    int m_bits = 0;
    int m_maxCode = 0;
    bool m_clearPending = false;
    std::uint32_t m_accumulator = 0;
    int m_accumulatorBits = 0;
    BYTE m_packet[256];
    int m_packetCount = 0;
    SafeFile* m_file = nullptr;
    bool m_writeErrorShown = false;
};
