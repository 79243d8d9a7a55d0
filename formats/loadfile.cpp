// Loading by extension, the DIB creation the BMP, TGA and PCX readers share,
// and the choice of writer when saving.
#include "formats/codecs.h"
#include "formats/gifcodec.h"
#include "formats/jpegfile.h"
#include "formats/messages.h"
#include "formats/save.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/files.h"
#include "platform/dibformat.h"

#include <strings.h>

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
    return PictureFormat::Unknown;
}

const char* FormatExtension(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return ".bmp";
    case PictureFormat::Jpeg: return ".jpg";
    case PictureFormat::Gif: return ".gif";
    case PictureFormat::Pcx: return ".pcx";
    case PictureFormat::Tga: return ".tga";
    case PictureFormat::Unknown: break;
    }
    return "";
}

int CPicture::LoadFile(const std::string& path, int orientation, int depthCheck)
{
    const PictureFormat format = FormatFromPath(path);
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
    case PictureFormat::Tga: return ReadTga(file.Data(), file.Size(), orientation);
    case PictureFormat::Pcx: return ReadPcx(file.Data(), file.Size(), orientation);
    default: return 0;
    }
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
}

namespace {

int SaveWith(JpegFile& file, const std::string& path, CDib* dib)
{
    return file.Save(path, dib, 1, 75);
}
int SaveWith(GifCodec& codec, const std::string& path, CDib* dib)
{
    return codec.Save(path, dib);
}

// The JPEG and GIF writers encode, in this order of preference: the held
// codec's own decode, the other codec's decode, a copy of the picture. Once
// the picture has been rotated neither decode is what is shown, so the copy.
template <class Codec, class Other>
int SaveThroughCodec(CPicture& picture, const std::string& path, Codec* own, Other* other)
{
    const bool decodeShown = picture.m_bFromCodec && !picture.m_bRotated;
    if (decodeShown && own)
        return SaveWith(*own, path, nullptr);
    std::unique_ptr<Codec> temporary(new (std::nothrow) Codec);
    if (!temporary)
        return 0;
    if (decodeShown && other)
        return SaveWith(*temporary, path, other->GetDib());
    CDib* copy = nullptr;
    if (!picture.CopyToDib(&copy))
        return 0;
    const int result = SaveWith(*temporary, path, copy);
    delete copy;
    return result;
}

} // namespace

int SavePictureJpeg(CPicture& picture, const std::string& path)
{
    return SaveThroughCodec(picture, path, picture.m_pJpegFile, picture.m_pGifCodec);
}

int SavePictureGif(CPicture& picture, const std::string& path)
{
    return SaveThroughCodec(picture, path, picture.m_pGifCodec, picture.m_pJpegFile);
}

int SavePicture(CPicture& picture, const std::string& path, PictureFormat format)
{
    if (!picture.HasImage())
        return 0;
    switch (format) {
    case PictureFormat::Bmp: return picture.WriteBmp(path);
    case PictureFormat::Tga: return picture.WriteTga(path);
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
    case PictureFormat::Unknown: break;
    }
    return 0;
}
