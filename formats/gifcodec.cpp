#include "formats/gifcodec.h"

#include "formats/bytereader.h"
#include "formats/codecs.h"
#include "formats/lzw.h"
#include "formats/packrows.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

GifCodec::GifCodec() = default;

GifCodec::~GifCodec()
{
    delete m_pDib;
}

namespace {

bool ReadTable(ByteReader& in, int entries, BYTE (*table)[3])
{
    const BYTE* p = in.Take(std::size_t(entries) * 3);
    if (!p)
        return false;
    std::memcpy(table, p, std::size_t(entries) * 3);
    return true;
}

// Skips data sub-blocks up to the zero-length one; false when the data ends first.
bool SkipSubBlocks(ByteReader& in)
{
    for (;;) {
        const BYTE n = in.U8();
        if (!in.Ok())
            return false;
        if (n == 0)
            return true;
        in.Skip(n);
        if (!in.Ok())
            return false;
    }
}

} // namespace

BYTE* GifCodec::ReadGif(const std::string& path, int* width, int* height)
{
    *width = *height = 0;
    if (path.empty()) {
        m_strError = "No Name Given";
        return nullptr;
    }
    FileContents file;
    if (!file.Load(path)) {
        m_strError = "Cant open GIF :\n" + path;
        return nullptr;
    }
    ByteReader in(file.Data(), file.Size());
    const BYTE* magic = in.Take(6);
    if (!magic) {
        m_strError = "Error reading GIF Magic #\n" + path;
        return nullptr;
    }
    if (std::memcmp(magic, "GIF", 3) != 0) {
        m_strError = "Error, " + path + " is not a valid .GIF file";
        return nullptr;
    }
    if (std::memcmp(magic + 3, "87a", 3) != 0 && std::memcmp(magic + 3, "89a", 3) != 0) {
        m_strError = "Error, Bad GIF Version number";
        return nullptr;
    }
    const BYTE* screen = in.Take(7);
    if (!screen) {
        m_strError = "Error, failed to GIF read screen descriptor.\nGiving up";
        return nullptr;
    }
    BYTE global[256][3] = {};
    int globalEntries = 0;
    if (screen[4] & 0x80) {
        globalEntries = 2 << (screen[4] & 7);
        if (!ReadTable(in, globalEntries, global)) {
            m_strError = "Error reading GIF colormap";
            return nullptr;
        }
    }
    if (screen[6] != 0 && screen[6] != 49)
        m_strError = "Non-square pixels in GIF image.\nIgnoring that fact...";

    for (;;) {
        const BYTE b = in.U8();
        if (!in.Ok()) {
            m_strError = "Unexpected EOF in GIF.\nGiving up";
            return nullptr;
        }
        if (b == ',')
            break;
        if (b == '!') {
            in.U8(); // label; graphic-control values have no effect on the picture
            if (!in.Ok()) {
                m_strError = "Error on extension read.\nGiving up";
                return nullptr;
            }
            SkipSubBlocks(in);
        }
    }
    const BYTE* desc = in.Take(9);
    if (!desc) {
        m_strError = "Error on dimension read\nGiving up";
        return nullptr;
    }
    const int w = desc[4] | (desc[5] << 8);
    const int h = desc[6] | (desc[7] << 8);
    const std::uint64_t bytes = std::uint64_t(w) * std::uint64_t(h) * 3;
    if (w == 0 || h == 0 || bytes > 0xFFFFFFFFull) {
        m_strError = "Error on dimension read\nGiving up";
        return nullptr;
    }
    // calloc: pixels a short stream never reaches stay black.
    auto* rgb = static_cast<BYTE*>(std::calloc(std::size_t(bytes), 1));
    if (!rgb) {
        m_strError = "Out of Memory in GIFRead";
        return nullptr;
    }
    BYTE local[256][3] = {};
    BYTE (*table)[3] = global;
    int entries = globalEntries;
    const bool hasLocal = (desc[8] & 0x80) != 0;
    if (hasLocal) {
        entries = 2 << (desc[8] & 7);
        if (!ReadTable(in, entries, local)) {
            m_strError = "Error reading GIF colormap\nGiving up";
            std::free(rgb);
            return nullptr;
        }
        table = local;
    }
    const char* decodeError =
        hasLocal ? "Error reading GIF file\nLocalColorMap\nGiving up" : "Error reading GIF file\nGIFScreen Colormap\nGiving up";
    const int codeSize = in.U8();
    std::unique_ptr<LzwDecoder> lzw(new (std::nothrow) LzwDecoder);
    if (!in.Ok() || !lzw || !lzw->Start(in.Data() + in.Pos(), in.Remaining(), codeSize)) {
        m_strError = decodeError;
        std::free(rgb);
        return nullptr;
    }
    if (entries == 0) {
        // No colour table at all: a grey ramp over the code size's colours.
        entries = 1 << codeSize;
        for (int i = 0; i < entries && i < 256; ++i)
            global[i][0] = global[i][1] = global[i][2] = BYTE(entries > 1 ? i * 255 / (entries - 1) : 0);
        if (entries > 256)
            entries = 256;
    }
    static const int kStep[4] = {8, 8, 4, 2};
    static const int kStart[4] = {0, 4, 2, 1};
    const bool interlaced = (desc[8] & 0x40) != 0;
    int pass = 0, x = 0, y = 0;
    for (;;) {
        const int index = lzw->Next();
        if (index < 0)
            break;
        const BYTE* c = table[index < entries ? index : 0];
        BYTE* px = rgb + (std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3;
        px[0] = c[0];
        px[1] = c[1];
        px[2] = c[2];
        if (++x < w)
            continue;
        x = 0;
        if (!interlaced) {
            if (++y >= h)
                break;
            continue;
        }
        y += kStep[pass];
        while (y >= h && ++pass < 4)
            y = kStart[pass];
        if (pass >= 4)
            break;
    }
    *width = w;
    *height = h;
    return rgb;
}

int GifCodec::Load(const std::string& path)
{
    int w = 0, h = 0;
    BYTE* rgb = ReadGif(path, &w, &h);
    if (!rgb)
        return 0;
    HGLOBAL block = PackRowsToDib(rgb, w, h);
    if (!block)
        return 0;
    auto* dib = new (std::nothrow) CDib;
    if (!dib) {
        GlobalFree(block);
        return 0;
    }
    if (!dib->Attach(block)) {
        delete dib; // the CDib took the block over
        return 0;
    }
    delete m_pDib;
    m_pDib = dib;
    return 1;
}

void DestroyGifCodec(GifCodec* codec)
{
    delete codec;
}

int LoadPictureGif(CPicture& picture, const std::string& path)
{
    auto* codec = new (std::nothrow) GifCodec;
    if (!codec)
        return 0;
    picture.m_pGifCodec = codec;
    const int result = codec->Load(path);
    if (result)
        picture.AdoptCodecDib(codec->GetDib());
    return result;
}
