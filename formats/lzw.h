// GIF LZW decoding of one image's data sub-blocks. Each decode has its own
// state, so codec objects never see each other's tables.
#pragma once

#include "platform/windef.h"

#include <cstddef>


class LzwDecoder {
public:
    // false for a minimum code size outside 2..11.
    bool Start(const BYTE* data, std::size_t length, int minCodeSize);
    // Next colour index, or -1 at the end of data, the end code or a bad code.
    int Next();
    // True once the zero-length sub-block has been read.
    bool SawTerminator() const { return m_sawTerminator; }

private:
    int ReadCode();
    void Reset();
    bool NextSubBlock();

    const BYTE* m_data = nullptr;
    std::size_t m_length = 0;
    std::size_t m_pos = 0;
    bool m_sawTerminator = false;
    bool m_endOfData = false;
    // Bit reader: bytes of the current sub-block plus the two carried over.
    BYTE m_buf[258 + 22] = {};
    long m_bitPos = 0;
    long m_bitCount = 0;
    int m_byteCount = 0;

    WORD m_prefix[4096] = {};
    BYTE m_suffix[4096] = {};
    BYTE m_stack[8192] = {};
    int m_sp = 0;
    int m_initSize = 0, m_codeSize = 0, m_clear = 0, m_end = 0, m_next = 0, m_limit = 0;
    int m_prev = 0, m_first = 0;
    bool m_firstCode = true;
};
