#include "formats/lzw.h"

#include <cstdlib>
#include <cstring>

LzwDecoder::~LzwDecoder()
{
    std::free(m_codes);
}

bool LzwDecoder::Start(const BYTE* data, std::size_t length, int minCodeSize)
{
    if (minCodeSize < 2 || minCodeSize > 11)
        return false;
    m_initSize = minCodeSize;
    std::free(m_codes);
    // The joined bytes are never more than the data; four zero bytes after
    // them let the code reader fetch a whole window at the very end.
    m_codes = static_cast<BYTE*>(std::malloc(length + 4));
    if (!m_codes)
        return false;
    m_bytes = 0;
    for (std::size_t pos = 0; pos < length;) {
        const std::size_t n = data[pos++];
        if (n == 0 || length - pos < n)
            break;
        std::memcpy(m_codes + m_bytes, data + pos, n);
        m_bytes += n;
        pos += n;
    }
    std::memset(m_codes + m_bytes, 0, 4);
    return true;
}

namespace {

// Copies `n` bytes forward in 16-byte steps. The destination lies after the
// whole source, so bytes read past the source's end are only ever bytes
// this copy overwrites again or that lie past the string. Each step loads
// before it stores, as the two ranges of a step may overlap.
inline void CopyString(BYTE* dst, const BYTE* src, std::size_t n)
{
    for (std::size_t i = 0; i < n; i += 16) {
        BYTE step[16];
        std::memcpy(step, src + i, 16);
        std::memcpy(dst + i, step, 16);
    }
}

// The last string, cut short at the end of the picture: byte by byte, so
// that a string defined by this very code (its start repeated after it)
// comes out right too.
inline std::size_t Finish(BYTE* out, std::size_t pos, std::size_t from, std::size_t room)
{
    for (std::size_t i = 0; i < room; ++i)
        out[pos + i] = out[from + i];
    return pos + room;
}

} // namespace

std::size_t LzwDecoder::Decode(BYTE* out, std::size_t capacity)
{
    if (!m_codes)
        return 0;
    const unsigned clear = 1u << m_initSize;
    const unsigned end = clear + 1;
    unsigned codeSize = unsigned(m_initSize) + 1;
    unsigned mask = (1u << codeSize) - 1;
    unsigned next = clear + 2;
    const std::uint64_t bitEnd = std::uint64_t(m_bytes) * 8;
    std::uint64_t bitPos = 0;
    std::size_t pos = 0;
    bool havePrev = false;
    std::size_t prevPos = 0;
    unsigned prevLength = 0;

    while (pos < capacity && bitPos + codeSize <= bitEnd) {
        // A code of at most 12 bits spans at most three bytes.
        const BYTE* at = m_codes + (bitPos >> 3);
        const unsigned window = unsigned(at[0]) | (unsigned(at[1]) << 8) | (unsigned(at[2]) << 16);
        const unsigned code = (window >> (bitPos & 7)) & mask;
        bitPos += codeSize;

        if (code == clear) {
            codeSize = unsigned(m_initSize) + 1;
            mask = (1u << codeSize) - 1;
            next = clear + 2;
            havePrev = false;
            continue;
        }
        if (code == end)
            break;
        const std::size_t room = capacity - pos;
        unsigned length;
        if (code < clear) {
            // Code sizes above 8 have colours no table holds: those draw
            // entry 0, as any index past the table does.
            out[pos] = code < 256 ? BYTE(code) : 0;
            length = 1;
        } else if (!havePrev) {
            break; // the first code after a clear must be a colour
        } else if (code < next) {
            length = m_length[code];
            if (length > room)
                return Finish(out, pos, m_offset[code], room);
            CopyString(out + pos, out + m_offset[code], length);
        } else if (code == next) {
            // The string being defined: the previous one plus its own first byte.
            length = prevLength + 1;
            if (length > room)
                return Finish(out, pos, prevPos, room);
            CopyString(out + pos, out + prevPos, prevLength);
            out[pos + prevLength] = out[prevPos];
        } else {
            break; // beyond the table
        }
        if (havePrev && next < 4096) {
            // The new string is the previous one and the first byte of this
            // one, which follows it in the output.
            m_offset[next] = std::uint32_t(prevPos);
            m_length[next] = std::uint16_t(prevLength + 1);
            if (++next > mask && codeSize < 12) {
                ++codeSize;
                mask = (1u << codeSize) - 1;
            }
        }
        havePrev = true;
        prevPos = pos;
        prevLength = length;
        pos += length;
    }
    return pos < capacity ? pos : capacity;
}
