#include "formats/jpegfile.h"

#include "formats/codecs.h"
#include "formats/messages.h"
#include "formats/packrows.h"
#include "formats/safefile.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/files.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

// libjpeg reports fatal errors by calling error_exit, which must not return.
// We jump back to the read or write in progress. The functions that set the
// jump point hold only plain data (kept in a job the caller owns, so nothing
// changed after setjmp is lost), and the message box is shown from a function
// that has returned before the jump, so no destructor is ever skipped.

namespace {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void ShowFatal(const char* text)
{
    ShowMessage(text, "JPEG Fatal Error", MessageIcon::Error);
}

} // namespace

extern "C" void JpegFatalErrorExit(j_common_ptr info)
{
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    ShowFatal(text);
    std::longjmp(manager->jump, 1);
}

namespace {

enum class JobStatus { Ok, Fatal, NoMemory, Unsupported };

struct ReadJob {
    std::FILE* file;
    jpeg_decompress_struct info;
    JpegErrorManager error;
    BYTE* rgb;
    int width;
    int height;
    JobStatus status;
};

// One decoded row to RGB. Four-component output is the library's CMYK; files
// with an Adobe marker store it inverted, as Adobe's programs write it.
void RowToRgb(const JSAMPLE* in, BYTE* out, int width, int components, bool invertedCmyk)
{
    switch (components) {
    case 3:
        std::memcpy(out, in, std::size_t(width) * 3);
        break;
    case 1:
        for (int x = 0; x < width; ++x, out += 3)
            out[0] = out[1] = out[2] = in[x];
        break;
    case 4:
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned k = invertedCmyk ? in[3] : 255u - in[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned ink = invertedCmyk ? in[c] : 255u - in[c];
                out[c] = BYTE((ink * k + 127) / 255);
            }
        }
        break;
    }
}

void DecodeJob(ReadJob* job)
{
    jpeg_decompress_struct* info = &job->info;
    info->err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = JpegFatalErrorExit;
    if (setjmp(job->error.jump)) {
        jpeg_destroy_decompress(info);
        std::free(job->rgb);
        job->rgb = nullptr;
        job->status = JobStatus::Fatal;
        return;
    }
    jpeg_create_decompress(info);
    jpeg_stdio_src(info, job->file);
    jpeg_read_header(info, TRUE);
    jpeg_start_decompress(info);

    const int components = info->output_components;
    const bool cmyk = components == 4 && info->out_color_space == JCS_CMYK;
    if (components != 1 && components != 3 && !cmyk) {
        jpeg_destroy_decompress(info);
        job->status = JobStatus::Unsupported;
        return;
    }
    const std::uint64_t bytes = std::uint64_t(info->output_width) * 3 * info->output_height;
    // The DIB this becomes must fit 32-bit sizes.
    if (bytes == 0 || bytes > 0x7FFFFFFFull - 40 ||
        !(job->rgb = static_cast<BYTE*>(std::calloc(std::size_t(bytes), 1)))) {
        jpeg_destroy_decompress(info);
        job->status = JobStatus::NoMemory;
        return;
    }
    job->width = int(info->output_width);
    job->height = int(info->output_height);
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * JDIMENSION(components), 1);
    const std::size_t rowBytes = std::size_t(job->width) * 3;
    while (info->output_scanline < info->output_height) {
        if (jpeg_read_scanlines(info, row, 1) != 1)
            break;
        const std::size_t y = info->output_scanline - 1;
        RowToRgb(row[0], job->rgb + y * rowBytes, job->width, components, cmyk && info->saw_Adobe_marker);
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    job->status = JobStatus::Ok;
}

struct WriteJob {
    std::FILE* file;
    jpeg_compress_struct info;
    JpegErrorManager error;
    const BYTE* buffer;
    int width;
    int height;
    int colour;
    int quality;
    JobStatus status;
};

void EncodeJob(WriteJob* job)
{
    jpeg_compress_struct* info = &job->info;
    info->err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = JpegFatalErrorExit;
    if (setjmp(job->error.jump)) {
        jpeg_destroy_compress(info);
        job->status = JobStatus::Fatal;
        return;
    }
    jpeg_create_compress(info);
    jpeg_stdio_dest(info, job->file);
    info->image_width = JDIMENSION(job->width);
    info->image_height = JDIMENSION(job->height);
    info->input_components = job->colour ? 3 : 1;
    info->in_color_space = job->colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->quality, TRUE);
    jpeg_start_compress(info, TRUE);
    const std::size_t rowBytes = std::size_t(job->width) * std::size_t(info->input_components);
    while (info->next_scanline < info->image_height) {
        // libjpeg's row pointers are not const; it only reads them.
        JSAMPROW row = const_cast<JSAMPROW>(job->buffer + std::size_t(info->next_scanline) * rowBytes);
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    jpeg_destroy_compress(info);
    job->status = JobStatus::Ok;
}

std::string WithPath(const char* prefix, const std::string& path)
{
    return prefix + path + "\n";
}

} // namespace

JpegFile::JpegFile() = default;

JpegFile::~JpegFile()
{
    delete m_pDib;
}

BYTE* JpegFile::ReadRgb(const std::string& path, int* width, int* height)
{
    *width = *height = 0;
    std::FILE* file = OpenFile(path, "rb");
    if (!file) {
        m_strError = WithPath("JPEG :\nCan't open ", path);
        return nullptr;
    }
    // Zeroed, so that a failure inside jpeg_create_decompress finds nothing
    // to free.
    auto* job = new (std::nothrow) ReadJob{};
    if (!job) {
        std::fclose(file);
        m_strError = "JpegFile :\nOut of memory";
        return nullptr;
    }
    job->file = file;
    DecodeJob(job);
    std::fclose(file);
    BYTE* rgb = nullptr;
    switch (job->status) {
    case JobStatus::Ok:
        rgb = job->rgb;
        *width = job->width;
        *height = job->height;
        break;
    case JobStatus::NoMemory: m_strError = "JpegFile :\nOut of memory"; break;
    case JobStatus::Unsupported: m_strError = "JpegFile :\nUnsupported colour components"; break;
    case JobStatus::Fatal: break; // the library's message box has said why
    }
    delete job;
    return rgb;
}

int JpegFile::Load(const std::string& path)
{
    int width = 0, height = 0;
    BYTE* rgb = ReadRgb(path, &width, &height);
    if (!rgb)
        return 0;
    return ReplaceDibWithRows(&m_pDib, rgb, width, height);
}

int JpegFile::WriteRgb(const std::string& path, const BYTE* buffer, int width, int height, BOOL colour,
                       int quality)
{
    if (!buffer || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        return 0;
    SafeFile target;
    std::FILE* file = target.Open(path);
    if (!file) {
        m_strError = WithPath("JpegFile :\nCan't open ", path);
        return 0;
    }
    auto* job = new (std::nothrow) WriteJob{};
    if (!job) {
        m_strError = "JpegFile :\nOut of memory";
        return 0;
    }
    job->file = file;
    job->buffer = buffer;
    job->width = width;
    job->height = height;
    job->colour = colour ? 1 : 0;
    job->quality = quality;
    EncodeJob(job);
    const bool encoded = job->status == JobStatus::Ok;
    delete job;
    if (!encoded)
        return 0; // the temporary file goes; the target stays as it was
    if (!target.Commit()) {
        m_strError = WithPath("JpegFile :\nCan't write ", path);
        return 0;
    }
    return 1;
}

int JpegFile::Save(const std::string& path, CDib* dib, BOOL colour, int quality)
{
    if (!dib)
        dib = m_pDib;
    if (!dib || dib->IsEmpty())
        return 0;
    // Work on a copy: the source may be the picture on screen.
    HGLOBAL copy = CopyDibHandle(dib->GetHandle());
    if (!copy)
        return 0;
    CDib work;
    if (!work.Attach(copy))
        return 0;
    if (work.GetBitCount() != 24 && !work.ConvertBitCount(24))
        return 0;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(work.GetHandle()));
    if (!h)
        return 0;
    const int width = DibWidth(h);
    const LONG storedHeight = DibHeight(h);
    const int height = storedHeight < 0 ? -storedHeight : storedHeight;
    if (width <= 0 || height <= 0) {
        GlobalUnlock(work.GetHandle());
        return 0;
    }
    const std::size_t stride = DibRowBytes(h);
    const std::size_t pixelBytes = colour ? 3 : 1;
    auto* buffer = static_cast<BYTE*>(std::malloc(std::size_t(width) * pixelBytes * std::size_t(height)));
    if (!buffer) {
        GlobalUnlock(work.GetHandle());
        m_strError = "JpegFile :\nOut of memory";
        return 0;
    }
    const BYTE* bits = DibBits(h);
    BYTE* out = buffer;
    for (int y = 0; y < height; ++y) {
        // Bottom-up rows: the top row as seen is the last one stored.
        const std::size_t stored = storedHeight < 0 ? std::size_t(y) : std::size_t(height - 1 - y);
        const BYTE* in = bits + stored * stride;
        for (int x = 0; x < width; ++x, in += 3) {
            if (colour) {
                *out++ = in[2];
                *out++ = in[1];
                *out++ = in[0];
            } else {
                // Rec. 601 luma, as libjpeg weighs RGB itself.
                *out++ = BYTE((299u * in[2] + 587u * in[1] + 114u * in[0] + 500u) / 1000u);
            }
        }
    }
    GlobalUnlock(work.GetHandle());
    const int result = WriteRgb(path, buffer, width, height, colour, quality);
    std::free(buffer);
    return result;
}

void DestroyJpegFile(JpegFile* file)
{
    delete file;
}

int LoadPictureJpeg(CPicture& picture, const std::string& path)
{
    auto* file = new (std::nothrow) JpegFile;
    if (!file)
        return 0;
    picture.m_pJpegFile = file;
    const int result = file->Load(path);
    if (result)
        picture.AdoptCodecDib(file->GetDib());
    return result;
}
