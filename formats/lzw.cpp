#include "formats/lzw.h"

#include "formats/messages.h"
#include "formats/safefile.h"

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
    m_terminated = false;
    for (std::size_t pos = 0; pos < length;) {
        const std::size_t n = data[pos++];
        m_terminated = n == 0;
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
inline void Finish(BYTE* out, std::size_t pos, std::size_t from, std::size_t room)
{
    for (std::size_t i = 0; i < room; ++i)
        out[pos + i] = out[from + i];
}

// The code of `mask`'s width at bit `bitPos`: at most 12 bits, so within
// three bytes (the joined data ends in zero padding for this).
inline unsigned CodeAt(const BYTE* codes, std::uint64_t bitPos, unsigned mask)
{
    const BYTE* at = codes + (bitPos >> 3);
    const unsigned window = unsigned(at[0]) | (unsigned(at[1]) << 8) | (unsigned(at[2]) << 16);
    return (window >> (bitPos & 7)) & mask;
}

} // namespace

namespace {

// The width of the next code and the next free table entry: both start over
// at each clear code, and codes widen by a bit once the table outgrows them.
struct CodeWidth {
    explicit CodeWidth(unsigned minCodeSize) : clear(1u << minCodeSize), first(minCodeSize + 1) { Reset(); }

    void Reset()
    {
        size = first;
        mask = (1u << size) - 1;
        next = clear + 2;
    }
    // One more string in the table (up to 4096).
    void Grow()
    {
        if (++next > mask && size < 12) {
            ++size;
            mask = (1u << size) - 1;
        }
    }

    const unsigned clear;
    const unsigned first;
    unsigned size = 0;
    unsigned mask = 0;
    unsigned next = 0;
};

} // namespace

inline bool LzwDecoder::CopyEntry(unsigned code, unsigned next, const Previous& prev, BYTE* out, std::size_t pos,
                                 std::size_t room, unsigned* length) const
{
    if (code < next) {
        *length = m_length[code];
        if (*length > room) {
            Finish(out, pos, m_offset[code], room);
            return false;
        }
        CopyString(out + pos, out + m_offset[code], *length);
        return true;
    }
    // The string being defined: the previous one plus its own first byte.
    *length = prev.length + 1;
    if (*length > room) {
        Finish(out, pos, prev.pos, room);
        return false;
    }
    CopyString(out + pos, out + prev.pos, prev.length);
    out[pos + prev.length] = out[prev.pos];
    return true;
}

std::size_t LzwDecoder::Decode(BYTE* out, std::size_t capacity)
{
    m_sawEnd = false;
    if (!m_codes)
        return 0;
    CodeWidth width{unsigned(m_initSize)};
    const std::uint64_t bitEnd = std::uint64_t(m_bytes) * 8;
    std::uint64_t bitPos = 0;
    std::size_t pos = 0;
    Previous prev;
    while (pos < capacity && bitPos + width.size <= bitEnd) {
        const unsigned code = CodeAt(m_codes, bitPos, width.mask);
        bitPos += width.size;
        if (code == width.clear) {
            width.Reset();
            prev.have = false;
            continue;
        }
        if (code == width.clear + 1) {
            m_sawEnd = true;
            break;
        }
        unsigned length = 1;
        if (code < width.clear) {
            // Code sizes above 8 have colours no table holds: those draw
            // entry 0, as any index past the table does.
            out[pos] = code < 256 ? BYTE(code) : 0;
        } else if (!prev.have || code > width.next) {
            break; // a string before any colour since the clear, or past the table
        } else if (!CopyEntry(code, width.next, prev, out, pos, capacity - pos, &length)) {
            return capacity; // the picture ends within the string
        }
        if (prev.have && width.next < 4096) {
            // The new string is the previous one and the first byte of this
            // one, which follows it in the output.
            m_offset[width.next] = std::uint32_t(prev.pos);
            m_length[width.next] = std::uint16_t(prev.length + 1);
            width.Grow();
        }
        prev = {true, pos, length};
        pos += length;
    }
    return pos < capacity ? pos : capacity;
}

void LzwEncoder::Encode(SafeFile& file, const BYTE* firstRow, std::ptrdiff_t rowStep, int width, int height)
{
    m_file = &file;
    m_row = firstRow;
    m_rowStep = rowStep;
    m_width = width;
    m_column = 0;
    m_rowsLeft = height;
    m_accumulator = 0;
    m_accumulatorBits = 0;
    m_writeErrorShown = false;
    m_bits = kInitBits;
    m_maxCode = (1 << kInitBits) - 1;
    m_freeCode = kEndCode + 1;
    m_clearPending = false;
    m_packetCount = 0;

    int prefix = NextPixel();
    ClearHash();
    Output(kClearCode);
    for (int c; (c = NextPixel()) >= 0;) {
        int slot = 0;
        const int code = Find(c, prefix, &slot);
        if (code >= 0) {
            prefix = code;
            continue;
        }
        Output(prefix);
        if (m_freeCode < kMaxMaxCode) {
            m_codes[slot] = std::uint16_t(m_freeCode++);
            m_hash[slot] = (std::int32_t(c) << kMaxBits) + prefix;
        } else {
            ClearHash();
            m_freeCode = kEndCode + 1;
            m_clearPending = true;
            Output(kClearCode);
        }
        prefix = c;
    }
    Output(prefix);
    Output(kEndCode);
    m_file = nullptr;
}

int LzwEncoder::NextPixel()
{
    if (m_rowsLeft == 0)
        return -1;
    const int pixel = m_row[m_column];
    if (++m_column == m_width) {
        m_column = 0;
        m_row += m_rowStep;
        --m_rowsLeft;
    }
    return pixel;
}

void LzwEncoder::ClearHash()
{
    for (std::int32_t& entry : m_hash)
        entry = -1;
}

// The code of the string prefix + c, or -1 with *slot where it would go.
// Open addressing with a secondary probe, as the table's size is prime.
int LzwEncoder::Find(int c, int prefix, int* slot) const
{
    // Hash shift: 8 less the doublings of the table size below 65536.
    constexpr int kShift = 4;
    const std::int32_t key = (std::int32_t(c) << kMaxBits) + prefix;
    int at = (c << kShift) ^ prefix;
    *slot = at;
    if (m_hash[at] == key)
        return m_codes[at];
    if (m_hash[at] < 0)
        return -1;
    const int displacement = at == 0 ? 1 : kHashSize - at;
    do {
        at -= displacement;
        if (at < 0)
            at += kHashSize;
        if (m_hash[at] == key)
            return m_codes[at];
    } while (m_hash[at] > 0);
    *slot = at;
    return -1;
}

void LzwEncoder::Output(int code)
{
    m_accumulator &= (std::uint32_t(1) << m_accumulatorBits) - 1;
    m_accumulator |= std::uint32_t(code) << m_accumulatorBits;
    m_accumulatorBits += m_bits;
    while (m_accumulatorBits >= 8) {
        PacketByte(BYTE(m_accumulator));
        m_accumulator >>= 8;
        m_accumulatorBits -= 8;
    }
    // Widen once the code just assigned no longer fits; a clear starts over.
    if (m_freeCode > m_maxCode || m_clearPending) {
        if (m_clearPending) {
            m_bits = kInitBits;
            m_maxCode = (1 << m_bits) - 1;
            m_clearPending = false;
        } else {
            ++m_bits;
            m_maxCode = m_bits == kMaxBits ? kMaxMaxCode : (1 << m_bits) - 1;
        }
    }
    if (code == kEndCode) {
        while (m_accumulatorBits > 0) {
            PacketByte(BYTE(m_accumulator));
            m_accumulator >>= 8;
            m_accumulatorBits -= 8;
        }
        FlushPacket();
        std::FILE* stream = m_file->Stream();
        if (std::fflush(stream) != 0 || std::ferror(stream)) {
            AfxMessageBox("Write Error in GIF file");
            m_writeErrorShown = true;
        }
    }
}

void LzwEncoder::PacketByte(BYTE b)
{
    m_packet[m_packetCount++] = b;
    if (m_packetCount >= 254)
        FlushPacket();
}

void LzwEncoder::FlushPacket()
{
    if (m_packetCount == 0)
        return;
    const BYTE length = BYTE(m_packetCount);
    m_file->Write(&length, 1);
    m_file->Write(m_packet, std::size_t(m_packetCount));
    m_packetCount = 0;
}
