#include "formats/gifcodec.h"

#include "formats/bytereader.h"
#include "formats/codecs.h"
#include "formats/lzw.h"
#include "formats/messages.h"
#include "formats/packrows.h"
#include "formats/safefile.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/files.h"
#include "platform/largeblock.h"

#include <algorithm>
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

namespace {

// The first image of a file as colour indices, in the order the stream
// holds its rows, with its colour table.
struct GifImage {
    BYTE* indices = nullptr; // width * height, plus the decoder's slack
    std::size_t decoded = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    BYTE table[256][3] = {};
    int entries = 0;

    GifImage() = default;
    GifImage(const GifImage&) = delete;
    GifImage& operator=(const GifImage&) = delete;
    ~GifImage() { std::free(indices); }
};

// Signature, screen descriptor and global table.
bool ReadScreen(ByteReader& in, const std::string& path, GifImage* image, std::string* error)
{
    const BYTE* magic = in.Take(6);
    if (!magic) {
        *error = "Error reading GIF Magic #\n" + path;
        return false;
    }
    if (std::memcmp(magic, "GIF", 3) != 0) {
        *error = "Error, " + path + " is not a valid .GIF file";
        return false;
    }
    if (std::memcmp(magic + 3, "87a", 3) != 0 && std::memcmp(magic + 3, "89a", 3) != 0) {
        *error = "Error, Bad GIF Version number";
        return false;
    }
    const BYTE* screen = in.Take(7);
    if (!screen) {
        *error = "Error, failed to GIF read screen descriptor.\nGiving up";
        return false;
    }
    if (screen[4] & 0x80) {
        image->entries = 2 << (screen[4] & 7);
        if (!ReadTable(in, image->entries, image->table)) {
            *error = "Error reading GIF colormap";
            return false;
        }
    }
    if (screen[6] != 0 && screen[6] != 49)
        *error = "Non-square pixels in GIF image.\nIgnoring that fact...";
    return true;
}

// Past extensions and stray bytes to the first image descriptor.
bool SkipToImage(ByteReader& in, std::string* error)
{
    for (;;) {
        const BYTE b = in.U8();
        if (!in.Ok()) {
            *error = "Unexpected EOF in GIF.\nGiving up";
            return false;
        }
        if (b == ',')
            return true;
        if (b == '!') {
            in.U8(); // label; graphic-control values have no effect on the picture
            if (!in.Ok()) {
                *error = "Error on extension read.\nGiving up";
                return false;
            }
            SkipSubBlocks(in);
        }
    }
}

// The image descriptor, its table and its LZW data.
bool DecodeImage(ByteReader& in, GifImage* image, std::string* error)
{
    const BYTE* desc = in.Take(9);
    if (!desc) {
        *error = "Error on dimension read\nGiving up";
        return false;
    }
    const int w = desc[4] | (desc[5] << 8);
    const int h = desc[6] | (desc[7] << 8);
    const std::uint64_t pixels = std::uint64_t(w) * std::uint64_t(h);
    if (w == 0 || h == 0 || pixels * 3 > 0xFFFFFFFFull) {
        *error = "Error on dimension read\nGiving up";
        return false;
    }
    const bool hasLocal = (desc[8] & 0x80) != 0;
    if (hasLocal) {
        image->entries = 2 << (desc[8] & 7);
        if (!ReadTable(in, image->entries, image->table)) {
            *error = "Error reading GIF colormap\nGiving up";
            return false;
        }
    }
    const char* decodeError =
        hasLocal ? "Error reading GIF file\nLocalColorMap\nGiving up" : "Error reading GIF file\nGIFScreen Colormap\nGiving up";
    const int codeSize = in.U8();
    std::unique_ptr<LzwDecoder> lzw(new (std::nothrow) LzwDecoder);
    if (!in.Ok() || !lzw || !lzw->Start(in.Data() + in.Pos(), in.Remaining(), codeSize)) {
        *error = decodeError;
        return false;
    }
    if (image->entries == 0) {
        // No colour table at all: a grey ramp over the code size's colours.
        const int entries = 1 << codeSize;
        for (int i = 0; i < entries && i < 256; ++i)
            image->table[i][0] = image->table[i][1] = image->table[i][2] = BYTE(i * 255 / (entries - 1));
        image->entries = entries > 256 ? 256 : entries;
    }
    // The picture this becomes is a 24-bit DIB; one that could not be made
    // is refused before any decoding.
    if (!Dib24Fits(std::uint64_t(w), std::uint64_t(h))) {
        *error = "Out of Memory in GIFRead";
        return false;
    }
    // Not zeroed: only the decoded part is ever read.
    image->indices = static_cast<BYTE*>(AllocLargeBlock(std::size_t(pixels) + LzwDecoder::kSlack));
    if (!image->indices) {
        *error = "Out of Memory in GIFRead";
        return false;
    }
    image->decoded = lzw->Decode(image->indices, std::size_t(pixels));
    if (lzw->EndWithoutTerminator())
        AfxMessageBox("Missing EOD in GIF data stream (common occurrence)");
    image->width = w;
    image->height = h;
    image->interlaced = (desc[8] & 0x40) != 0;
    return true;
}

// Reads and decodes; on failure `*error` says why and the image is empty.
bool DecodeFirstImage(const std::string& path, GifImage* image, std::string* error)
{
    if (path.empty()) {
        *error = "No Name Given";
        return false;
    }
    FileContents file;
    if (!file.Load(path)) {
        *error = "Cant open GIF :\n" + path;
        return false;
    }
    ByteReader in(file.Data(), file.Size());
    return ReadScreen(in, path, image, error) && SkipToImage(in, error) && DecodeImage(in, image, error);
}

// Writes every decoded pixel into `bits` (rows `stride` apart, image row y
// at bits + rowAt(y)) as three bytes in the order `order` gives the table's
// red, green and blue. Pixels the stream did not reach are left as they are.
template <class RowAt>
void ExpandIndices(const GifImage& image, BYTE* bits, RowAt rowAt, const int order[3])
{
    // Four bytes an entry, so each pixel is one store; an index past the
    // table draws entry 0.
    BYTE quad[256][4] = {};
    for (int i = 0; i < 256; ++i) {
        const BYTE* c = image.table[i < image.entries ? i : 0];
        quad[i][0] = c[order[0]];
        quad[i][1] = c[order[1]];
        quad[i][2] = c[order[2]];
    }
    static const int kStep[4] = {8, 8, 4, 2};
    static const int kStart[4] = {0, 4, 2, 1};
    const std::size_t w = std::size_t(image.width);
    const int passes = image.interlaced ? 4 : 1;
    std::size_t row = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const int step = image.interlaced ? kStep[pass] : 1;
        for (int y = image.interlaced ? kStart[pass] : 0; y < image.height; y += step, ++row) {
            if (row * w >= image.decoded)
                return;
            const std::size_t n = std::min(w, image.decoded - row * w);
            const BYTE* src = image.indices + row * w;
            BYTE* dst = bits + rowAt(y);
            for (std::size_t x = 0; x + 1 < n; ++x, dst += 3)
                std::memcpy(dst, quad[src[x]], 4);
            std::memcpy(dst, quad[src[n - 1]], 3);
        }
    }
}

} // namespace

BYTE* GifCodec::ReadGif(const std::string& path, int* width, int* height)
{
    *width = *height = 0;
    GifImage image;
    if (!DecodeFirstImage(path, &image, &m_strError))
        return nullptr;
    const std::size_t rowBytes = std::size_t(image.width) * 3;
    // calloc: pixels a short stream never reaches stay black.
    auto* rgb = static_cast<BYTE*>(std::calloc(rowBytes * std::size_t(image.height), 1));
    if (!rgb) {
        m_strError = "Out of Memory in GIFRead";
        return nullptr;
    }
    static const int kRgb[3] = {0, 1, 2};
    ExpandIndices(image, rgb, [rowBytes](int y) { return rowBytes * std::size_t(y); }, kRgb);
    *width = image.width;
    *height = image.height;
    return rgb;
}

int GifCodec::Load(const std::string& path)
{
    GifImage image;
    if (!DecodeFirstImage(path, &image, &m_strError))
        return 0;
    // Straight into a zeroed bottom-up 24-bit block: unreached pixels stay black.
    HGLOBAL block = AllocDib24(image.width, image.height);
    if (!block) {
        m_strError = "Out of Memory in GIFRead";
        return 0;
    }
    auto* base = static_cast<BYTE*>(GlobalLock(block));
    const std::size_t stride = DibRowBytes(reinterpret_cast<BITMAPINFOHEADER*>(base));
    const int h = image.height;
    static const int kBgr[3] = {2, 1, 0};
    ExpandIndices(image, base + 40, [stride, h](int y) { return stride * std::size_t(h - 1 - y); }, kBgr);
    GlobalUnlock(block);
    return ReplaceDib(&m_pDib, block);
}

int GifCodec::Save(const std::string& path, CDib* dib)
{
    if (!dib)
        dib = m_pDib;
    if (!dib || dib->IsEmpty())
        return 0;
    // The source may be the picture on screen: it is only read. A picture of
    // another depth is quantized into a new 8-bit block.
    CDib converted;
    const CDib* work = dib;
    if (dib->GetBitCount() != 8) {
        CWaitCursor wait;
        HGLOBAL eight = ConvertDibOctree(dib->GetHandle(), 8, 256);
        if (!eight || !converted.Attach(eight))
            return 0;
        work = &converted;
    }
    // A palette shorter than 256 entries leaves the rest of the table black.
    PALETTEENTRY entries[256] = {};
    if (work->GetPalette())
        GetPaletteEntries(work->GetPalette(), 0, 256, entries);
    int red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        red[i] = entries[i].peRed;
        green[i] = entries[i].peGreen;
        blue[i] = entries[i].peBlue;
    }

    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(work->GetHandle()));
    if (!h)
        return 0;
    const int width = DibWidth(h);
    const LONG storedHeight = DibHeight(h);
    const int height = storedHeight < 0 ? -storedHeight : storedHeight;
    int result = 0;
    if (width > 0 && height > 0) {
        // Rows are read where they stand, top row first: in a bottom-up
        // block that is the last one stored.
        const auto stride = std::ptrdiff_t(DibRowBytes(h));
        const BYTE* bits = DibBits(h);
        const BYTE* top = storedHeight < 0 ? bits : bits + stride * (height - 1);
        result = EncodeRows(path, top, storedHeight < 0 ? stride : -stride, width, height, 0, red, green, blue);
    }
    GlobalUnlock(work->GetHandle());
    return result;
}

int GifCodec::EncodeGif(const std::string& path, const BYTE* indices, int width, int height, int background,
                        const int* red, const int* green, const int* blue)
{
    return EncodeRows(path, indices, width, width, height, background, red, green, blue);
}

int GifCodec::EncodeRows(const std::string& path, const BYTE* firstRow, std::ptrdiff_t rowStep, int width, int height,
                         int background, const int* red, const int* green, const int* blue)
{
    // The screen and image sizes are 16-bit fields.
    if (!firstRow || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
        m_strError = "Picture size does not fit a GIF file";
        return 0;
    }
    SafeFile file;
    if (!file.Open(path)) {
        m_strError = "Can't open GIF for writing";
        return 0;
    }
    BYTE head[6 + 7 + 768 + 10 + 1];
    BYTE* p = head;
    std::memcpy(p, "GIF87a", 6);
    p += 6;
    auto put16 = [&p](int v) {
        *p++ = BYTE(v);
        *p++ = BYTE(v >> 8);
    };
    put16(width);
    put16(height);
    *p++ = 0xE7; // global table of 256 entries, 6 bits of colour resolution
    *p++ = BYTE(background);
    *p++ = 0;
    for (int i = 0; i < 256; ++i) {
        *p++ = BYTE(red[i]);
        *p++ = BYTE(green[i]);
        *p++ = BYTE(blue[i]);
    }
    *p++ = ',';
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    *p++ = 0; // no local table, not interlaced
    *p++ = 8; // LZW minimum code size
    file.Write(head, sizeof head);

    m_lzw.Encode(file, firstRow, rowStep, width, height);

    const BYTE trailer[2] = {0, ';'};
    file.Write(trailer, sizeof trailer);
    if (!file.Commit()) {
        // The temporary file is gone and whatever stood at the path is intact.
        if (!m_lzw.WriteErrorShown())
            AfxMessageBox("Write Error in GIF file");
        return 0;
    }
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
