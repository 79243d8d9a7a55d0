#include "formats/lzw.h"

#include <cstring>

bool LzwDecoder::Start(const BYTE* data, std::size_t length, int minCodeSize)
{
    if (minCodeSize < 2 || minCodeSize > 11)
        return false;
    m_data = data;
    m_length = length;
    m_pos = 0;
    m_sawTerminator = m_endOfData = false;
    m_initSize = minCodeSize;
    m_clear = 1 << minCodeSize;
    m_end = m_clear + 1;
    Reset();
    m_buf[0] = m_buf[1] = 0;
    m_bitPos = 16;
    m_bitCount = 16;
    m_byteCount = 2;
    m_firstCode = true;
    m_sp = 0;
    return true;
}

void LzwDecoder::Reset()
{
    m_codeSize = m_initSize + 1;
    m_limit = 1 << m_codeSize;
    m_next = m_clear + 2;
    std::memset(m_prefix, 0, sizeof m_prefix);
    std::memset(m_suffix, 0, sizeof m_suffix);
    for (int i = 0; i < m_clear; ++i)
        m_suffix[i] = BYTE(i);
}

bool LzwDecoder::NextSubBlock()
{
    // Keep the last two bytes so a code can straddle sub-blocks.
    m_buf[0] = m_buf[m_byteCount - 2];
    m_buf[1] = m_buf[m_byteCount - 1];
    if (m_pos >= m_length)
        return false;
    const int n = m_data[m_pos++];
    if (n == 0) {
        m_sawTerminator = m_endOfData = true;
        return false;
    }
    if (m_length - m_pos < std::size_t(n))
        return false;
    std::memcpy(m_buf + 2, m_data + m_pos, std::size_t(n));
    m_pos += std::size_t(n);
    m_bitPos -= m_bitCount - 16;
    m_bitCount = (2 + n) * 8;
    m_byteCount = 2 + n;
    return true;
}

int LzwDecoder::ReadCode()
{
    while (m_bitPos + m_codeSize > m_bitCount) {
        if (m_endOfData || !NextSubBlock()) {
            m_endOfData = true;
            return -1;
        }
    }
    // A code of at most 12 bits spans at most three bytes; the buffer has
    // room past the sub-block, and bits beyond it are masked off.
    const std::size_t at = std::size_t(m_bitPos >> 3);
    const unsigned window = unsigned(m_buf[at]) | (unsigned(m_buf[at + 1]) << 8) | (unsigned(m_buf[at + 2]) << 16);
    const int code = int((window >> (m_bitPos & 7)) & ((1u << m_codeSize) - 1));
    m_bitPos += m_codeSize;
    return code;
}

int LzwDecoder::Next()
{
    if (m_firstCode) {
        m_firstCode = false;
        int code;
        do
            code = ReadCode();
        while (code == m_clear);
        if (code < 0 || code >= m_clear)
            return -1;
        m_prev = m_first = code;
        return code;
    }
    if (m_sp > 0)
        return m_stack[--m_sp];
    int code = ReadCode();
    if (code < 0)
        return -1;
    if (code == m_clear) {
        Reset();
        code = ReadCode();
        if (code < 0 || code >= m_clear)
            return -1;
        m_prev = m_first = code;
        return code;
    }
    if (code == m_end)
        return -1;
    const int incoming = code;
    if (code >= m_next) {
        if (code > m_next)
            return -1;
        m_stack[m_sp++] = BYTE(m_first);
        code = m_prev;
    }
    while (code >= m_clear) {
        if (m_sp >= int(sizeof m_stack) - 1 || m_prefix[code] == code)
            return -1;
        m_stack[m_sp++] = m_suffix[code];
        code = m_prefix[code];
    }
    m_first = m_suffix[code];
    m_stack[m_sp++] = BYTE(m_first);
    if (m_next < 4096) {
        m_prefix[m_next] = WORD(m_prev);
        m_suffix[m_next] = BYTE(m_first);
        if (++m_next >= m_limit && m_limit < 4096) {
            m_limit <<= 1;
            ++m_codeSize;
        }
    }
    m_prev = incoming;
    return m_stack[--m_sp];
}
