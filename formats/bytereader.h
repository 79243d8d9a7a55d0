// Bounds-checked little-endian reads from a file held in memory. A read past
// the end sets the failure flag and yields 0; readers check Ok() before they
// use what they read.
#pragma once

#include "platform/windef.h"

#include <cstddef>
#include <cstring>

class ByteReader {
public:
    ByteReader(const BYTE* data, std::size_t length) : m_data(data), m_length(length) {}

    bool Ok() const { return !m_failed; }
    std::size_t Pos() const { return m_pos; }
    std::size_t Length() const { return m_length; }
    std::size_t Remaining() const { return m_pos <= m_length ? m_length - m_pos : 0; }
    bool Has(std::size_t bytes) const { return bytes <= Remaining(); }

    void Seek(std::size_t pos)
    {
        if (pos > m_length)
            m_failed = true;
        else
            m_pos = pos;
    }
    void Skip(std::size_t bytes)
    {
        if (!Has(bytes))
            m_failed = true;
        else
            m_pos += bytes;
    }
    BYTE U8()
    {
        if (!Has(1)) {
            m_failed = true;
            return 0;
        }
        return m_data[m_pos++];
    }
    WORD U16()
    {
        if (!Has(2)) {
            m_failed = true;
            m_pos = m_length;
            return 0;
        }
        WORD v = WORD(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    DWORD U32()
    {
        if (!Has(4)) {
            m_failed = true;
            m_pos = m_length;
            return 0;
        }
        DWORD v = DWORD(m_data[m_pos]) | (DWORD(m_data[m_pos + 1]) << 8) | (DWORD(m_data[m_pos + 2]) << 16) |
                  (DWORD(m_data[m_pos + 3]) << 24);
        m_pos += 4;
        return v;
    }
    LONG I32() { return static_cast<LONG>(U32()); }
    // Pointer to the next `bytes` bytes, or null (and failure) if they are not there.
    const BYTE* Take(std::size_t bytes)
    {
        if (!Has(bytes)) {
            m_failed = true;
            return nullptr;
        }
        const BYTE* p = m_data + m_pos;
        m_pos += bytes;
        return p;
    }
    const BYTE* Data() const { return m_data; }

private:
    const BYTE* m_data;
    std::size_t m_length;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

// Little-endian output into a byte buffer (headers of the writers).
inline void PutU16(BYTE* p, WORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}
inline void PutU32(BYTE* p, DWORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}
