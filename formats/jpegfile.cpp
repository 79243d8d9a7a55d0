#include "formats/jpegfile.h"

#include "formats/codecs.h"
#include "formats/jpegmeta.h"
#include "formats/messages.h"
#include "formats/orientation.h"
#include "formats/packrows.h"
#include "formats/safefile.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/files.h"
#include "platform/reduce.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

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

// What the library may allocate for one decode (a 24-bit progressive picture
// of about 170 megapixels needs this much).
constexpr long kLibraryMemoryLimit = 1024L * 1024 * 1024;

// Far more scans than any real progressive file has. Every scan costs a pass
// over the picture however few bytes it takes, so a small file of thousands
// of scans would otherwise keep the decoder busy for minutes.
constexpr int kMaxScans = 500;

enum class JobStatus { Ok, Fatal, NoMemory, Unsupported, TooManyScans };

// Where decoded rows go: a top-down RGB buffer, or a bottom-up BGR DIB block.
enum class Target { RgbRows, DibBlock };

struct ReadJob {
    const JOCTET* data; // the whole file
    std::size_t size;
    jpeg_decompress_struct info;
    JpegErrorManager error;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    void (*libraryMessage)(j_common_ptr, int);
    // Scans whose data ended before the picture did, and how far the
    // furthest of them got.
    int scansCutShort;
    int lastCutScan;
    JDIMENSION furthestRow;
    bool tooManyScans;
    Target target;
    BYTE* rgb;     // RgbRows
    HGLOBAL block; // DibBlock
    BYTE* bits;    // the locked rows of either
    std::size_t stride;
    int width;
    int height;
    JobStatus status;
    JpegMetadata meta; // DibBlock: orientation and colour profile
    // DibBlock: the size the picture is shown at (null: decoded whole), and
    // the reduction chosen for it (1, 2, 4 or 8).
    const ShownSizeFn* shown;
    unsigned reduction;
    int imageWidth; // the whole picture's size, as stored
    int imageHeight;
    // Shrinking to the size shown while decoding (DibBlock, a reduction
    // larger than shown): the decoded rows pass through a band of `bandRows`
    // rows holding source row `bandFirst` on and `bandCount` rows, and every
    // target row is averaged from them as soon as they are all there.
    bool shrink;
    int shrinkWidth, shrinkHeight;
    BoxReducer* reducer;
    BYTE* band;
    std::uint32_t* reducedRow;
    std::size_t bandStride;
    int bandRows, bandFirst, bandCount, nextRow;
};

void FreeShrinking(ReadJob* job)
{
    delete job->reducer;
    std::free(job->band);
    std::free(job->reducedRow);
    job->reducer = nullptr;
    job->band = nullptr;
    job->reducedRow = nullptr;
}

BYTE* RowAt(const ReadJob* job, JDIMENSION y)
{
    if (job->reducer)
        return job->band + std::size_t(int(y) - job->bandFirst) * job->bandStride;
    const std::size_t stored = job->target == Target::DibBlock ? std::size_t(job->height) - 1 - y : y;
    return job->bits + stored * job->stride;
}

// The library's CMYK output to three bytes a pixel (`red` is 0 for RGB order,
// 2 for BGR). Files with an Adobe marker store it inverted, as Adobe's
// programs write it.
void CmykRow(const JSAMPLE* in, BYTE* out, int width, int red, bool inverted)
{
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned k = inverted ? in[3] : 255u - in[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned ink = inverted ? in[c] : 255u - in[c];
            out[c == 0 ? red : c == 2 ? 2 - red : 1] = BYTE((ink * k + 127) / 255);
        }
    }
}

// The data of the scan being read has ended before the picture did: the
// file itself, or the scan's coded data at a marker. What it reached is the
// band of rows being decoded.
void NoteDataEnd(j_decompress_ptr info)
{
    auto* job = static_cast<ReadJob*>(info->client_data);
    if (job->lastCutScan != info->input_scan_number) {
        job->lastCutScan = info->input_scan_number;
        ++job->scansCutShort;
    }
    const JDIMENSION band = JDIMENSION(info->max_v_samp_factor * info->min_DCT_scaled_size);
    job->furthestRow = std::max(job->furthestRow, (info->input_iMCU_row + 1) * band);
}

// The rows the file's data reaches: all of them when a scan got to its end,
// else as far as the furthest scan got. Rows below hold nothing from the file;
// they are never decoded and stay black, as in a GIF cut short.
JDIMENSION RowsReached(const ReadJob* job)
{
    const jpeg_decompress_struct& info = job->info;
    if (job->scansCutShort < info.input_scan_number)
        return info.output_height;
    return std::min(info.output_height, job->furthestRow);
}

} // namespace

// The library's callbacks for a decode; the job is the decoder's client data.
extern "C" {

static void JpegSourceInit(j_decompress_ptr) {}
static void JpegSourceTerm(j_decompress_ptr) {}

// Asked for more than the file holds. As the library's own sources do, an end
// of image marker lets it finish with what it has. The Huffman decoders say
// themselves when they need data that is not there (JpegReadMessage); the
// arithmetic decoder takes zeros after a marker as part of the format, so for
// it the end of the file is where its data ends.
static boolean JpegSourceFill(j_decompress_ptr info)
{
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    if (static_cast<ReadJob*>(info->client_data)->size == 0)
        ERREXIT(info, JERR_INPUT_EMPTY);
    WARNMS(info, JWRN_JPEG_EOF);
    if (info->arith_code)
        NoteDataEnd(info);
    info->src->next_input_byte = kEnd;
    info->src->bytes_in_buffer = sizeof kEnd;
    return TRUE;
}

static void JpegSourceSkip(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    if (std::size_t(count) > info->src->bytes_in_buffer) {
        JpegSourceFill(info);
        return;
    }
    info->src->next_input_byte += count;
    info->src->bytes_in_buffer -= std::size_t(count);
}

// The Huffman decoders warn when a scan's coded data stops at a marker that
// is not a restart marker: nothing more of that scan follows.
static void JpegReadMessage(j_common_ptr common, int level)
{
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto* job = static_cast<ReadJob*>(info->client_data);
    if (level < 0 && common->err->msg_code == JWRN_HIT_MARKER &&
        (info->unread_marker < JPEG_RST0 || info->unread_marker > JPEG_RST0 + 7))
        NoteDataEnd(info);
    job->libraryMessage(common, level);
}

// Called as the scans are read in; a file with too many is dropped as soon
// as one more is met.
static void JpegReadProgress(j_common_ptr common)
{
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > kMaxScans) {
        auto* job = static_cast<ReadJob*>(info->client_data);
        job->tooManyScans = true;
        std::longjmp(job->error.jump, 1);
    }
}

} // extern "C"

namespace {

// The start-of-scan markers the library will meet: those outside the
// segments that carry a length, up to the end of image (a scan's coded data
// never holds a marker byte pair, the 0xFF it needs being stuffed). Counts
// no further than one past `limit`.
int CountScans(const JOCTET* data, std::size_t size, int limit)
{
    int scans = 0;
    std::size_t pos = 2;
    while (scans <= limit && pos < size) {
        const void* next = std::memchr(data + pos, 0xFF, size - pos);
        if (!next)
            break;
        pos = std::size_t(static_cast<const JOCTET*>(next) - data) + 1;
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            break;
        const unsigned marker = data[pos++];
        if (marker == JPEG_EOI)
            break;
        // A stuffed zero, a restart marker, a start of image or a TEM stand alone.
        if (marker == 0x00 || marker == 0x01 || (marker >= JPEG_RST0 && marker <= 0xD8))
            continue;
        if (marker == 0xDA)
            ++scans;
        if (pos + 2 > size)
            break;
        pos += std::size_t(data[pos]) << 8 | data[pos + 1];
    }
    return scans;
}

// The largest of the library's reductions whose result is still no
// smaller than the picture is shown, set as the decode's scale. The sides
// are compared as the picture stands once its orientation is applied.
void ChooseReduction(ReadJob* job)
{
    jpeg_decompress_struct* info = &job->info;
    const bool swap = OrientationSwapsSides(job->meta.orientation);
    const int w = int(info->image_width), h = int(info->image_height);
    int shownWidth = 0, shownHeight = 0;
    (*job->shown)(swap ? h : w, swap ? w : h, &shownWidth, &shownHeight);
    if (swap)
        std::swap(shownWidth, shownHeight);
    job->reduction = 1;
    if (shownWidth <= 0 || shownHeight <= 0)
        return;
    for (unsigned denominator : {8u, 4u, 2u}) {
        info->scale_num = 1;
        info->scale_denom = denominator;
        jpeg_calc_output_dimensions(info);
        if (info->output_width >= JDIMENSION(shownWidth) && info->output_height >= JDIMENSION(shownHeight)) {
            job->reduction = denominator;
            if (job->shrink && (info->output_width > JDIMENSION(shownWidth) ||
                                info->output_height > JDIMENSION(shownHeight))) {
                job->shrinkWidth = shownWidth;
                job->shrinkHeight = shownHeight;
            }
            return;
        }
    }
    info->scale_denom = 1;
}

// Sets up shrinking the decoded rows to shrinkWidth x shrinkHeight; false
// when memory runs out.
bool StartShrinking(ReadJob* job)
{
    const jpeg_decompress_struct& info = job->info;
    BITMAPINFOHEADER band{};
    band.biSize = sizeof band;
    band.biWidth = LONG(info.output_width);
    band.biHeight = -LONG(info.output_height); // top-down, as decoded
    band.biPlanes = 1;
    band.biBitCount = 24;
    job->reducer = new (std::nothrow) BoxReducer;
    if (!job->reducer || !job->reducer->Prepare(&band, nullptr, job->shrinkWidth, job->shrinkHeight))
        return false;
    // Room for the rows of the tallest target row and a few more.
    job->bandRows = int(info.output_height) / job->shrinkHeight + 10;
    job->bandStride = (std::size_t(info.output_width) * 3 + 3) & ~std::size_t(3);
    job->band = static_cast<BYTE*>(std::malloc(job->bandStride * std::size_t(job->bandRows)));
    job->reducedRow = static_cast<std::uint32_t*>(std::malloc(std::size_t(job->shrinkWidth) * 4));
    return job->band && job->reducedRow;
}

// Makes room in the band for at least one more row: the rows no target row
// still to come needs are dropped.
void BandRoom(ReadJob* job)
{
    if (job->bandCount < job->bandRows)
        return;
    const int held = job->bandFirst + job->bandCount;
    const int keep = job->nextRow < job->height ? job->reducer->FirstSourceRow(job->nextRow) : held;
    const int drop = std::clamp(keep - job->bandFirst, 0, job->bandCount);
    std::memmove(job->band, job->band + std::size_t(drop) * job->bandStride,
                 std::size_t(job->bandCount - drop) * job->bandStride);
    job->bandFirst += drop;
    job->bandCount -= drop;
}

// The target rows whose source rows have all been decoded, into the block.
void ShrinkReadyRows(ReadJob* job)
{
    while (job->nextRow < job->height &&
           job->reducer->SourceRowsFor(job->nextRow) <= job->bandFirst + job->bandCount) {
        if (job->reducer->RunBand(job->band, job->bandFirst, job->reducedRow, job->nextRow)) {
            BYTE* out = job->bits + std::size_t(job->height - 1 - job->nextRow) * job->stride;
            for (int x = 0; x < job->width; ++x, out += 3) {
                const std::uint32_t p = job->reducedRow[x];
                out[0] = BYTE(p);
                out[1] = BYTE(p >> 8);
                out[2] = BYTE(p >> 16);
            }
        }
        ++job->nextRow;
    }
}

void DecodeJob(ReadJob* job)
{
    jpeg_decompress_struct* info = &job->info;
    info->err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = JpegFatalErrorExit;
    job->libraryMessage = job->error.pub.emit_message;
    job->error.pub.emit_message = JpegReadMessage;
    if (setjmp(job->error.jump)) {
        jpeg_destroy_decompress(info);
        if (job->block) {
            GlobalUnlock(job->block);
            GlobalFree(job->block);
        }
        std::free(job->rgb);
        job->rgb = nullptr;
        job->block = nullptr;
        FreeShrinking(job);
        job->status = job->tooManyScans ? JobStatus::TooManyScans : JobStatus::Fatal;
        return;
    }
    info->client_data = job;
    jpeg_create_decompress(info);
    // Progressive and multi-scan files keep every coefficient until the end:
    // a few header bytes can ask for gigabytes. Past this the library stops
    // with its own message.
    info->mem->max_memory_to_use = kLibraryMemoryLimit;
    job->source.init_source = JpegSourceInit;
    job->source.fill_input_buffer = JpegSourceFill;
    job->source.skip_input_data = JpegSourceSkip;
    job->source.resync_to_restart = jpeg_resync_to_restart;
    job->source.term_source = JpegSourceTerm;
    job->source.next_input_byte = job->data;
    job->source.bytes_in_buffer = job->size;
    info->src = &job->source;
    job->progress.progress_monitor = JpegReadProgress;
    info->progress = &job->progress;
    if (job->target == Target::DibBlock)
        KeepMetadataMarkers(info);
    jpeg_read_header(info, TRUE);
    if (job->target == Target::DibBlock)
        CaptureMetadata(info, &job->meta);
    // The scans of a multi-scan file are read in here rather than by the
    // library, which would walk every row of every scan even once the data
    // has ended: reading stops there.
    const bool multiScan = jpeg_has_multiple_scans(info);
    info->buffered_image = boolean(multiScan);
    const bool bgr = job->target == Target::DibBlock;
    // Colour and grey files come out as three bytes a pixel in the order the
    // target wants, converted by the library; CMYK and YCCK as the library's
    // CMYK, converted here.
    const bool cmyk = info->out_color_space == JCS_CMYK;
    if (info->out_color_space == JCS_RGB || info->out_color_space == JCS_GRAYSCALE) {
#ifdef JCS_EXTENSIONS
        info->out_color_space = bgr ? JCS_EXT_BGR : JCS_RGB;
#else
        info->out_color_space = JCS_RGB;
#endif
    }
    // A picture whose DIB could not be made is refused before any decoding,
    // also when only a reduction of it is decoded now.
    if (!Dib24Fits(info->image_width, info->image_height)) {
        jpeg_destroy_decompress(info);
        job->status = JobStatus::NoMemory;
        return;
    }
    job->imageWidth = int(info->image_width);
    job->imageHeight = int(info->image_height);
    job->reduction = 1;
    if (job->shown)
        ChooseReduction(job);
    jpeg_calc_output_dimensions(info);
    if (!Dib24Fits(info->output_width, info->output_height)) {
        jpeg_destroy_decompress(info);
        job->status = JobStatus::NoMemory;
        return;
    }
    jpeg_start_decompress(info);
    if (info->output_components != (cmyk ? 4 : 3)) {
        jpeg_destroy_decompress(info);
        job->status = JobStatus::Unsupported;
        return;
    }
    if (multiScan) {
        int read;
        do {
            // As the library's own reading loop does, so that the scan
            // limit applies.
            (*info->progress->progress_monitor)(reinterpret_cast<j_common_ptr>(info));
            read = jpeg_consume_input(info);
        } while (read != JPEG_REACHED_EOI && job->scansCutShort == 0);
        jpeg_start_output(info, info->input_scan_number);
    }
    job->width = int(info->output_width);
    job->height = int(info->output_height);
    if (job->shrinkWidth > 0) {
        job->width = job->shrinkWidth;
        job->height = job->shrinkHeight;
        if (!StartShrinking(job)) {
            FreeShrinking(job);
            jpeg_destroy_decompress(info);
            job->status = JobStatus::NoMemory;
            return;
        }
    }
    if (bgr) {
        job->block = AllocDib24(job->width, job->height);
        if (job->block) {
            job->bits = static_cast<BYTE*>(GlobalLock(job->block));
            job->stride = DibRowBytes(reinterpret_cast<BITMAPINFOHEADER*>(job->bits));
            job->bits += 40;
        }
    } else {
        const std::uint64_t bytes = std::uint64_t(job->width) * 3 * std::uint64_t(job->height);
        // The DIB this may become must fit 32-bit sizes.
        if (bytes <= 0x7FFFFFFFull - 40)
            job->rgb = static_cast<BYTE*>(std::calloc(std::size_t(bytes), 1));
        job->bits = job->rgb;
        job->stride = std::size_t(job->width) * 3;
    }
    if (!job->bits) {
        FreeShrinking(job);
        jpeg_destroy_decompress(info);
        job->status = JobStatus::NoMemory;
        return;
    }
    const int rowWidth = int(info->output_width); // of the rows as decoded
    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                             info->output_width * 4, 1);
#ifdef JCS_EXTENSIONS
    const bool swap = false;
#else
    const bool swap = bgr;
#endif
    while (info->output_scanline < info->output_height) {
        const JDIMENSION y = info->output_scanline;
        // Rows the data never reached are not decoded, and their memory
        // is never touched.
        const JDIMENSION reached = RowsReached(job);
        if (y >= reached)
            break;
        JDIMENSION room = 4;
        if (job->reducer) {
            BandRoom(job);
            room = JDIMENSION(job->bandRows - job->bandCount);
        }
        JDIMENSION got = 0;
        if (cmyk) {
            if (jpeg_read_scanlines(info, cmykRow, 1) != 1)
                break;
            CmykRow(cmykRow[0], RowAt(job, y), rowWidth, bgr ? 2 : 0, info->saw_Adobe_marker);
            got = 1;
        } else {
            // Straight into the target's rows, a few at a time.
            JSAMPROW rows[4];
            const JDIMENSION n = std::min({reached - y, room, JDIMENSION(4)});
            for (JDIMENSION i = 0; i < n; ++i)
                rows[i] = RowAt(job, y + i);
            got = jpeg_read_scanlines(info, rows, n);
            if (got == 0)
                break;
            for (JDIMENSION i = 0; swap && i < got; ++i)
                for (BYTE* p = rows[i]; p < rows[i] + rowWidth * 3; p += 3)
                    std::swap(p[0], p[2]);
        }
        if (job->reducer) {
            job->bandCount += int(got);
            ShrinkReadyRows(job);
        }
    }
    FreeShrinking(job);
    // A file read in only in part is not finished: that would read on.
    if (info->output_scanline == info->output_height && (!multiScan || jpeg_input_complete(info))) {
        if (multiScan)
            jpeg_finish_output(info);
        jpeg_finish_decompress(info);
    }
    jpeg_destroy_decompress(info);
    if (job->block)
        GlobalUnlock(job->block);
    job->status = JobStatus::Ok;
}

// What the rows handed to the encoder hold.
enum class Source { Rgb, Grey, Bgr, BgrToGrey };

struct WriteJob {
    std::FILE* file;
    jpeg_compress_struct info;
    JpegErrorManager error;
    const BYTE* top;     // the top row
    std::ptrdiff_t step; // from one row to the one below it
    Source source;
    BYTE* scratch;       // one row, for sources the library cannot take as they are
    int width;
    int height;
    int quality;
    const std::vector<BYTE>* exif; // written after the JFIF segment when not empty
    JobStatus status;
};

// Whether a source needs converting row by row before the library sees it.
bool NeedsScratch(Source source)
{
#ifdef JCS_EXTENSIONS
    return source == Source::BgrToGrey;
#else
    return source == Source::Bgr || source == Source::BgrToGrey;
#endif
}

JSAMPROW SourceRow(WriteJob* job, JDIMENSION y)
{
    const BYTE* in = job->top + job->step * std::ptrdiff_t(y);
    if (!NeedsScratch(job->source)) {
        // libjpeg's row pointers are not const; it only reads them.
        return const_cast<JSAMPROW>(in);
    }
    BYTE* out = job->scratch;
    for (int x = 0; x < job->width; ++x, in += 3) {
        if (job->source == Source::Bgr) {
            *out++ = in[2];
            *out++ = in[1];
            *out++ = in[0];
        } else {
            // Rec. 601 luma, as libjpeg weighs RGB itself.
            *out++ = BYTE((299u * in[2] + 587u * in[1] + 114u * in[0] + 500u) / 1000u);
        }
    }
    return job->scratch;
}

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
    const bool grey = job->source == Source::Grey || job->source == Source::BgrToGrey;
    info->input_components = grey ? 1 : 3;
    info->in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
#ifdef JCS_EXTENSIONS
    if (job->source == Source::Bgr)
        info->in_color_space = JCS_EXT_BGR;
#endif
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->quality, TRUE);
    jpeg_start_compress(info, TRUE);
    if (job->exif && !job->exif->empty() && job->exif->size() <= kMaxExifSegment)
        jpeg_write_marker(info, JPEG_APP0 + 1, job->exif->data(), unsigned(job->exif->size()));
    const bool scratch = NeedsScratch(job->source);
    while (info->next_scanline < info->image_height) {
        JSAMPROW rows[8];
        JDIMENSION n = scratch ? 1 : info->image_height - info->next_scanline;
        if (n > 8)
            n = 8;
        for (JDIMENSION i = 0; i < n; ++i)
            rows[i] = SourceRow(job, info->next_scanline + i);
        jpeg_write_scanlines(info, rows, n);
    }
    jpeg_finish_compress(info);
    jpeg_destroy_compress(info);
    job->status = JobStatus::Ok;
}

std::string WithPath(const char* prefix, const std::string& path)
{
    return prefix + path + "\n";
}

// Runs a decode of a whole file held in memory into `target`; the job is
// left for the caller to take the result from and delete, or null (with
// `*error` set) when it failed.
ReadJob* RunDecode(const JOCTET* data, std::size_t size, Target target, const ShownSizeFn* shown, bool shrink,
                   std::string* error)
{
    // Zeroed, so that a failure inside jpeg_create_decompress finds nothing
    // to free.
    auto* job = new (std::nothrow) ReadJob{};
    if (!job) {
        *error = "JpegFile :\nOut of memory";
        return nullptr;
    }
    job->data = data;
    job->size = size;
    job->target = target;
    job->shown = shown;
    job->shrink = shrink;
    // Counted up front, since the library would take a pass over the
    // picture for each scan before its count reached the limit.
    if (CountScans(job->data, job->size, kMaxScans) > kMaxScans)
        job->status = JobStatus::TooManyScans;
    else
        DecodeJob(job);
    switch (job->status) {
    case JobStatus::Ok: return job;
    case JobStatus::NoMemory: *error = "JpegFile :\nOut of memory"; break;
    case JobStatus::Unsupported: *error = "JpegFile :\nUnsupported colour components"; break;
    case JobStatus::TooManyScans: *error = "JpegFile :\nMore than " + std::to_string(kMaxScans) + " scans"; break;
    case JobStatus::Fatal: break; // the library's message box has said why
    }
    delete job;
    return nullptr;
}

ReadJob* RunDecode(const std::string& path, Target target, std::string* error)
{
    FileContents file;
    if (!file.Load(path)) {
        *error = WithPath("JPEG :\nCan't open ", path);
        return nullptr;
    }
    return RunDecode(file.Data(), file.Size(), target, nullptr, false, error);
}

// Writes rows `step` bytes apart from `top` down; the target is replaced
// only by a complete file.
int RunEncode(const std::string& path, const BYTE* top, std::ptrdiff_t step, Source source, int width, int height,
              int quality, std::string* error, const std::vector<BYTE>* exif = nullptr)
{
    if (!top || width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        return 0;
    SafeFile target;
    std::FILE* file = target.Open(path);
    if (!file) {
        *error = WithPath("JpegFile :\nCan't open ", path);
        return 0;
    }
    auto* job = new (std::nothrow) WriteJob{};
    BYTE* scratch = nullptr;
    if (job && NeedsScratch(source))
        scratch = static_cast<BYTE*>(std::malloc(std::size_t(width) * 3));
    if (!job || (NeedsScratch(source) && !scratch)) {
        delete job;
        *error = "JpegFile :\nOut of memory";
        return 0;
    }
    job->file = file;
    job->top = top;
    job->step = step;
    job->source = source;
    job->scratch = scratch;
    job->width = width;
    job->height = height;
    job->quality = quality;
    job->exif = exif;
    EncodeJob(job);
    const bool encoded = job->status == JobStatus::Ok;
    delete job;
    std::free(scratch);
    if (!encoded)
        return 0; // the temporary file goes; the target stays as it was
    if (!target.Commit()) {
        *error = WithPath("JpegFile :\nCan't write ", path);
        return 0;
    }
    return 1;
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
    ReadJob* job = RunDecode(path, Target::RgbRows, &m_strError);
    if (!job)
        return nullptr;
    BYTE* rgb = job->rgb;
    *width = job->width;
    *height = job->height;
    delete job;
    return rgb;
}

int JpegFile::Load(const std::string& path)
{
    FileContents file;
    if (!file.Load(path)) {
        m_strError = WithPath("JPEG :\nCan't open ", path);
        return 0;
    }
    std::vector<unsigned char>().swap(m_bytes);
    return Decode(file.Data(), file.Size(), nullptr, false);
}

int JpegFile::Load(const std::string& path, const ShownSizeFn& shown)
{
    // Read rather than mapped: a mapping would follow changes to the file.
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes)) {
        m_strError = WithPath("JPEG :\nCan't open ", path);
        return 0;
    }
    m_bytes.clear();
    m_bRedecodeFailed = false;
    if (!Decode(bytes.data(), bytes.size(), &shown, true))
        return 0;
    if (m_pDib->GetWidth() < m_nFullWidth || m_pDib->GetHeight() < m_nFullHeight)
        m_bytes = std::move(bytes);
    return 1;
}

int JpegFile::LoadAtLeast(int width, int height)
{
    if (!IsReduced())
        return m_pDib != nullptr;
    if (m_bRedecodeFailed)
        return 0;
    const ShownSizeFn shown = [width, height](int, int, int* w, int* h) {
        *w = width;
        *h = height;
    };
    if (!Decode(m_bytes.data(), m_bytes.size(), &shown, false)) {
        m_bRedecodeFailed = true;
        return 0;
    }
    if (m_pDib->GetWidth() >= m_nFullWidth && m_pDib->GetHeight() >= m_nFullHeight)
        std::vector<unsigned char>().swap(m_bytes);
    return 1;
}

// Decoded straight into the picture's block: the only copy of the pixels.
// The object's picture is replaced only by a complete decode.
int JpegFile::Decode(const unsigned char* data, std::size_t size, const ShownSizeFn* shown, bool shrink)
{
    ReadJob* job = RunDecode(data, size, Target::DibBlock, shown, shrink, &m_strError);
    if (!job)
        return 0;
    const bool swap = OrientationSwapsSides(job->meta.orientation);
    const int width = job->imageWidth, height = job->imageHeight;
    std::vector<BYTE> exif = std::move(job->meta.exif);
    HGLOBAL block = ApplyMetadata(job->block, job->meta);
    delete job;
    if (!block) {
        m_strError = "JpegFile :\nOut of memory";
        return 0;
    }
    if (!ReplaceDib(&m_pDib, block))
        return 0;
    m_nFullWidth = swap ? height : width;
    m_nFullHeight = swap ? width : height;
    m_exif = std::move(exif);
    return 1;
}

int JpegFile::WriteRgb(const std::string& path, const BYTE* buffer, int width, int height, BOOL colour,
                       int quality)
{
    const std::ptrdiff_t step = std::ptrdiff_t(width) * (colour ? 3 : 1);
    return RunEncode(path, buffer, step, colour ? Source::Rgb : Source::Grey, width, height, quality, &m_strError);
}

int JpegFile::Save(const std::string& path, CDib* dib, BOOL colour, int quality, const std::vector<BYTE>& exif)
{
    if (!dib)
        dib = m_pDib;
    if (!dib || dib->IsEmpty())
        return 0;
    // A 24-bit picture is read where it stands; others are converted into a
    // new block, since the source may be the picture on screen.
    CDib converted;
    HGLOBAL handle = dib->GetHandle();
    if (dib->GetBitCount() != 24) {
        HGLOBAL rgb = ConvertDib(handle, 24, nullptr);
        if (!rgb || !converted.Attach(rgb))
            return 0;
        handle = converted.GetHandle();
    }
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(handle));
    if (!h)
        return 0;
    const int width = DibWidth(h);
    const LONG storedHeight = DibHeight(h);
    const int height = storedHeight < 0 ? -storedHeight : storedHeight;
    int result = 0;
    if (width > 0 && height > 0 && h->biCompression == BI_RGB) {
        const std::ptrdiff_t stride = std::ptrdiff_t(DibRowBytes(h));
        // Bottom-up rows: the top row as seen is the last one stored.
        const BYTE* bits = DibBits(h);
        const BYTE* top = storedHeight < 0 ? bits : bits + stride * (height - 1);
        const std::ptrdiff_t step = storedHeight < 0 ? stride : -stride;
        result = RunEncode(path, top, step, colour ? Source::Bgr : Source::BgrToGrey, width, height, quality,
                           &m_strError, &exif);
    }
    GlobalUnlock(handle);
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
    const int result = picture.m_shownSize ? file->Load(path, picture.m_shownSize) : file->Load(path);
    if (!result)
        return 0;
    if (file->IsReduced())
        picture.AdoptReducedDib(file->GetDib(), file->GetFullWidth(), file->GetFullHeight());
    else
        picture.AdoptCodecDib(file->GetDib());
    picture.m_exif = file->GetExif();
    return result;
}

namespace {

// Decodes the picture's JPEG again, no smaller than width x height, and
// takes the result. The reader's failure is said once.
int Redecode(CPicture& picture, int width, int height)
{
    JpegFile* file = picture.m_pJpegFile;
    const bool said = file->RedecodeFailed();
    if (!file->LoadAtLeast(width, height)) {
        if (!said)
            AfxMessageBox("载入JPEG文件时发生错误!");
        return 0;
    }
    if (file->IsReduced())
        picture.AdoptReducedDib(file->GetDib(), picture.m_nWidth, picture.m_nHeight);
    else
        picture.AdoptCodecDib(file->GetDib());
    return 1;
}

} // namespace

int CPicture::LoadFullImage()
{
    if (m_pBits)
        return 1;
    return IsReduced() && m_pJpegFile && Redecode(*this, m_nWidth, m_nHeight);
}

void CPicture::EnsureDetail(int cxDst, int cyDst)
{
    if (IsReduced() && m_pJpegFile && (cxDst > m_nReducedWidth || cyDst > m_nReducedHeight))
        Redecode(*this, cxDst, cyDst);
}
