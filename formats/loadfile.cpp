// Loading by extension, the DIB creation the BMP, TGA and PCX readers share,
// and the choice of writer when saving.
#include "formats/codecs.h"
#include "formats/gifcodec.h"
#include "formats/jpegfile.h"
#include "formats/messages.h"
#include "formats/orientation.h"
#include "formats/save.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/files.h"
#include "platform/dibformat.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include <memory>
#include <new>
#include <vector>

std::string PathExtension(const std::string& path)
{
    // Only the file name counts: a dot in a folder name is no extension.
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

PictureFormat FormatFromPath(const std::string& path)
{
    const std::string ext = PathExtension(path);
    const char* e = ext.c_str();
    if (!strcasecmp(e, ".bmp"))
        return PictureFormat::Bmp;
    if (!strcasecmp(e, ".jpg") || !strcasecmp(e, ".jpeg"))
        return PictureFormat::Jpeg;
    if (!strcasecmp(e, ".gif"))
        return PictureFormat::Gif;
    if (!strcasecmp(e, ".pcx"))
        return PictureFormat::Pcx;
    if (!strcasecmp(e, ".tga"))
        return PictureFormat::Tga;
    if (!strcasecmp(e, ".png"))
        return PictureFormat::Png;
    if (!strcasecmp(e, ".webp"))
        return PictureFormat::Webp;
    return PictureFormat::Unknown;
}

PictureFormat FormatFromSignature(const unsigned char* data, std::size_t length)
{
    auto starts = [&](std::size_t at, const char* text, std::size_t n) {
        return length >= at + n && std::memcmp(data + at, text, n) == 0;
    };
    if (starts(0, "\x89PNG\r\n\x1a\n", 8))
        return PictureFormat::Png;
    if (starts(0, "\xFF\xD8\xFF", 3))
        return PictureFormat::Jpeg;
    if (starts(0, "GIF87a", 6) || starts(0, "GIF89a", 6))
        return PictureFormat::Gif;
    if (starts(0, "RIFF", 4) && starts(8, "WEBP", 4))
        return PictureFormat::Webp;
    if (starts(0, "BM", 2))
        return PictureFormat::Bmp;
    return PictureFormat::Unknown;
}

bool CanSave(PictureFormat format)
{
    return format != PictureFormat::Unknown && format != PictureFormat::Webp;
}

const char* FormatExtension(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return ".bmp";
    case PictureFormat::Jpeg: return ".jpg";
    case PictureFormat::Gif: return ".gif";
    case PictureFormat::Pcx: return ".pcx";
    case PictureFormat::Tga: return ".tga";
    case PictureFormat::Png: return ".png";
    case PictureFormat::Webp: return ".webp";
    case PictureFormat::Unknown: break;
    }
    return "";
}

namespace {

PictureFormat SniffFile(const std::string& path)
{
    unsigned char head[12];
    std::size_t got = 0;
    if (std::FILE* f = OpenFile(path, "rb")) {
        got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    return FormatFromSignature(head, got);
}

} // namespace

int CPicture::LoadAs(PictureFormat format, const std::string& path, int orientation, int depthCheck)
{
    m_exif.clear(); // the readers that find one keep it
    if (format == PictureFormat::Jpeg || format == PictureFormat::Gif) {
        m_bFromCodec = 1;
        const bool jpeg = format == PictureFormat::Jpeg;
        const int result = jpeg ? LoadPictureJpeg(*this, path) : LoadPictureGif(*this, path);
        if (!result) {
            AfxMessageBox(jpeg ? "载入JPEG文件时发生错误!" : "载入GIF文件时发生错误!");
            return 0;
        }
        const std::int64_t length = FileLength(path);
        if (length < 0) {
            AfxMessageBox("获取文件大小错误：无法打开文件!");
            return 0;
        }
        m_nFileSize = static_cast<DWORD>(length);
        return result;
    }

    m_bFromCodec = 0;
    FileContents file;
    if (!file.Load(path)) {
        AfxMessageBox("无法打开文件!请确认文件是否存在或路径是否正确!");
        return 0;
    }
    m_nFileSize = static_cast<DWORD>(file.Size());
    switch (format) {
    case PictureFormat::Bmp: return ReadBmp(file.Data(), file.Size(), orientation, depthCheck);
    // The TGA and PCX readers refuse without a word; the user is told here,
    // as for every other format.
    case PictureFormat::Tga:
        if (ReadTga(file.Data(), file.Size(), orientation))
            return 1;
        AfxMessageBox("载入TGA文件时发生错误!");
        return 0;
    case PictureFormat::Pcx:
        if (ReadPcx(file.Data(), file.Size(), orientation))
            return 1;
        AfxMessageBox("载入PCX文件时发生错误!");
        return 0;
    case PictureFormat::Png:
        if (ReadPng(file.Data(), file.Size()))
            return 1;
        AfxMessageBox("载入PNG文件时发生错误!");
        return 0;
    case PictureFormat::Webp:
        if (ReadWebp(file.Data(), file.Size()))
            return 1;
        AfxMessageBox("载入WebP文件时发生错误!");
        return 0;
    default: return 0;
    }
}

int CPicture::LoadFile(const std::string& path, int orientation, int depthCheck)
{
    const PictureFormat named = FormatFromPath(path);
    PictureFormat actual;
    {
        // A picture under the wrong name is read by the reader of what it
        // is, without the first reader's complaints.
        MessageHold hold;
        if (LoadAs(named, path, orientation, depthCheck))
            return 1;
        actual = SniffFile(path);
        if (actual == PictureFormat::Unknown || actual == named)
            return 0;
        hold.Discard();
    }
    // Whatever the refused attempt left behind goes before the second one.
    if (m_pJpegFile) {
        DestroyJpegFile(m_pJpegFile);
        m_pJpegFile = nullptr;
    }
    if (m_pGifCodec) {
        DestroyGifCodec(m_pGifCodec);
        m_pGifCodec = nullptr;
    }
    m_pBits = nullptr; // a codec's pixels went with it; a section's with Clear
    Clear();
    return LoadAs(actual, path, orientation, depthCheck);
}

int CPicture::CreateDib(int width, int height, int bitCount, int orientation)
{
    (void)orientation; // every caller passes 1 (upright)
    Clear();
    m_bBitsBorrowed = 1; // the pixels belong to the new section
    m_nWidth = width;
    m_nHeight = height;
    m_nBitCount = bitCount;
    m_nColors = 0;
    m_nRowBytes = 0;
    m_nImageSize = 0;
    DibLayout size;
    if (!DibSizeFor(width, height, bitCount, &size))
        return 0;
    m_nRowBytes = size.rowBytes;
    m_nImageSize = size.imageBytes;
    const std::uint64_t image = std::uint64_t(size.imageBytes);
    if (bitCount <= 8) {
        m_nColors = 1 << bitCount;
        m_pColorTable = new (std::nothrow) RGBQUAD[static_cast<std::size_t>(m_nColors)]();
        if (!m_pColorTable) {
            m_nColors = 0;
            return 0;
        }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(image);
    info.bmiHeader.biClrUsed = static_cast<DWORD>(m_nColors);
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    m_hBitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!m_hBitmap) {
        delete[] m_pColorTable;
        m_pColorTable = nullptr;
        m_nColors = 0;
        return 0;
    }
    m_pBits = static_cast<BYTE*>(bits);
    return 1;
}

int CPicture::CreateDibChecked(int width, int height, int bitCount)
{
    if (!DibDepthAllowed(bitCount))
        return 0;
    return CreateDib(width, height, bitCount, 1);
}

void CPicture::AdoptCodecDib(CDib* dib)
{
    PixelsReplaced();
    m_pBits = static_cast<BYTE*>(dib->GetBits());
    m_bBitsBorrowed = 1; // set with the pointer: the pixels are the codec's
    m_nWidth = dib->GetWidth();
    m_nHeight = dib->GetHeight();
    m_nBitCount = dib->GetBitCount();
    m_nRowBytes = static_cast<int>(DibStride(std::uint64_t(m_nWidth), unsigned(m_nBitCount)));
    m_nImageSize = m_nRowBytes * m_nHeight;
    m_nColors = 0;
    m_bRotated = 0;
    m_pReducedBits = nullptr;
}

void CPicture::AdoptReducedDib(CDib* dib, int fullWidth, int fullHeight)
{
    PixelsReplaced();
    m_pBits = nullptr;
    m_pReducedBits = static_cast<BYTE*>(dib->GetBits());
    m_nReducedWidth = dib->GetWidth();
    m_nReducedHeight = dib->GetHeight();
    m_bBitsBorrowed = 1;
    m_nWidth = fullWidth;
    m_nHeight = fullHeight;
    m_nBitCount = 24;
    DibLayout size; // what the whole picture's block will be
    DibSizeFor(fullWidth, fullHeight, 24, &size);
    m_nRowBytes = size.rowBytes;
    m_nImageSize = size.imageBytes;
    m_nColors = 0;
    m_bRotated = 0;
}

namespace {

int SaveWith(JpegFile& file, const std::string& path, CDib* dib, const std::vector<BYTE>& exif)
{
    return file.Save(path, dib, 1, 75, exif);
}
int SaveWith(GifCodec& codec, const std::string& path, CDib* dib, const std::vector<BYTE>&)
{
    return codec.Save(path, dib);
}

// The JPEG and GIF writers encode, in this order of preference: the held
// codec's own decode, the other codec's decode, a copy of the picture. Once
// the picture has been rotated neither decode is what is shown, so the copy.
template <class Codec, class Other>
int SaveThroughCodec(CPicture& picture, const std::string& path, Codec* own, Other* other,
                     const std::vector<BYTE>& exif)
{
    const bool decodeShown = picture.m_bFromCodec && !picture.m_bRotated;
    if (decodeShown && own)
        return SaveWith(*own, path, nullptr, exif);
    std::unique_ptr<Codec> temporary(new (std::nothrow) Codec);
    if (!temporary)
        return 0;
    if (decodeShown && other)
        return SaveWith(*temporary, path, other->GetDib(), exif);
    CDib* copy = nullptr;
    if (!picture.CopyToDib(&copy))
        return 0;
    const int result = SaveWith(*temporary, path, copy, exif);
    delete copy;
    return result;
}

} // namespace

int SavePictureJpeg(CPicture& picture, const std::string& path)
{
    const std::vector<BYTE> exif = ExifForSaving(picture.m_exif, picture.GetWidth(), picture.GetHeight());
    return SaveThroughCodec(picture, path, picture.m_pJpegFile, picture.m_pGifCodec, exif);
}

int SavePictureGif(CPicture& picture, const std::string& path)
{
    return SaveThroughCodec(picture, path, picture.m_pGifCodec, picture.m_pJpegFile, {});
}

int SavePicture(CPicture& picture, const std::string& path, PictureFormat format)
{
    // Every writer writes the whole picture, never a reduction of it.
    if (!picture.LoadFullImage())
        return 0;
    switch (format) {
    case PictureFormat::Bmp: return picture.WriteBmp(path);
    case PictureFormat::Tga: return picture.WriteTga(path);
    case PictureFormat::Png: return picture.WritePng(path);
    case PictureFormat::Jpeg: return SavePictureJpeg(picture, path);
    case PictureFormat::Gif: return SavePictureGif(picture, path);
    case PictureFormat::Pcx: {
        CDib* dib = nullptr;
        if (!picture.CopyToDib(&dib))
            return 0;
        const int result = picture.WritePcx(path, dib);
        delete dib;
        return result;
    }
    case PictureFormat::Webp:
    case PictureFormat::Unknown: break;
    }
    return 0;
}
