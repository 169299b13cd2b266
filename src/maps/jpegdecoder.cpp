#include "jpegdecoder.h"

#include "data/mapfile.h"
#include "data/quorerror.h"


#include <algorithm>
#include <climits>
#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Rows handed to the decoder per call; libjpeg never asks for more than its
// output buffer height, which is at most a few rows.
constexpr int kMaxRowsPerCall = 16;
constexpr int kRgbBytes = 3;
constexpr int kCmykBytes = 4;
constexpr int kFullByte = 255;
// The decoder's vector code writes aligned rows straight to memory, past the
// cache; unaligned rows go through it and decode several times slower.
constexpr size_t kRowAlignment = 32;
// A scan of a hundred megapixels touches 80 000 small pages on its first
// write; large pages cut that to a few hundred.
constexpr size_t kLargePage = size_t(2) * 1024 * 1024;
// Below this size the decoder faults its few pages in before another core
// could get ahead of it.
constexpr size_t kFaultAheadFrom = size_t(8) * 1024 * 1024;
// The page faulter asks the kernel for one large page at a time: little
// enough to stop soon when the decoding fails.
constexpr size_t kFaultAheadStep = kLargePage;
// Processor time to fault in a large page that the host must bring back: 4 to
// 6 ms; one the guest still holds takes 0.3 ms, and the same memory in small
// pages 0.5 ms.
constexpr std::int64_t kColdLargePageNs = 1'000'000;

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The decoder's fatal errors jump back to the caller instead of ending the
// process.
[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    auto *manager = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

// A file that ends before its image is complete is damaged: the decoder
// would only paint the missing part grey, which is not the map.
void emitMessage(j_common_ptr cinfo, int level)
{
    constexpr int kWarningLevel = -1;
    if (level == kWarningLevel &&
        (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER))
        errorExit(cinfo);
    if (level == kWarningLevel)
        ++cinfo->err->num_warnings;
}

// Nothing goes to the console.
void outputMessage(j_common_ptr) {}

// Streams the map file into the decoder, a large piece at a time.
constexpr size_t kPieceSize = size_t(1) << 20;

struct FileSource
{
    jpeg_source_mgr pub;
    MapFile *file;
    JOCTET *piece;
    bool startOfFile;
};

void initFileSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<FileSource *>(cinfo->src)->startOfFile = true;
}

boolean fillFileSource(j_decompress_ptr cinfo)
{
    static const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};
    auto *src = reinterpret_cast<FileSource *>(cinfo->src);
    int code = 0;
    const qsizetype n = src->file->read(reinterpret_cast<char *>(src->piece), kPieceSize, code);
    if (n < 0)
        ERREXIT(cinfo, JERR_FILE_READ);
    if (n == 0) {
        if (src->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // Ends the decoding through emitMessage.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    src->pub.next_input_byte = src->piece;
    src->pub.bytes_in_buffer = size_t(n);
    src->startOfFile = false;
    return TRUE;
}

void skipFileSource(j_decompress_ptr cinfo, long count)
{
    jpeg_source_mgr *src = cinfo->src;
    if (count <= 0)
        return;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        src->fill_input_buffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= size_t(count);
}

void termFileSource(j_decompress_ptr) {}

struct Input
{
    // Either the bytes in memory or the file.
    const QByteArray *bytes = nullptr;
    MapFile *file = nullptr;
    JOCTET *piece = nullptr;
};

void setSource(j_decompress_ptr cinfo, const Input &input)
{
    if (input.bytes) {
        jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char *>(input.bytes->constData()),
                     static_cast<unsigned long>(input.bytes->size()));
        return;
    }
    auto *src = static_cast<FileSource *>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileSource)));
    src->pub.init_source = initFileSource;
    src->pub.fill_input_buffer = fillFileSource;
    src->pub.skip_input_data = skipFileSource;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = termFileSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->file = input.file;
    src->piece = input.piece;
    src->startOfFile = true;
    cinfo->src = &src->pub;
}

size_t roundUp(size_t value, size_t step)
{
    return (value + step - 1) / step * step;
}

size_t roundDown(size_t value, size_t step)
{
    return value / step * step;
}

// The processor time of the calling thread, which counts the time the host
// takes to bring a page back but not the time the thread waits for a core.
std::int64_t threadCpuNs()
{
    constexpr std::int64_t kNsPerSecond = 1'000'000'000;
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

// The first write to each page of a fresh picture costs the kernel a page to
// clear and account for: on a hundred-megapixel scan, 80 to 200 ms on top of
// 470 ms of decoding when the decoder pays it row by row. Another core faults
// the pages in ahead of the rows being decoded, so that the decoder only
// writes pixels. The kernel populates the pages without touching their
// content, so the rows already decoded are safe whatever the order.
//
// On a virtual machine that hands its free memory back to the host, large
// pages are what it hands back first, and the host then brings each back
// small page by small page, ten times slower than small pages the guest
// still holds: the faulter times each large page and, at the first slow one,
// asks small pages for the rest of the picture.
class PageFaulter
{
public:
    PageFaulter() = default;
    PageFaulter(const PageFaulter &) = delete;
    PageFaulter &operator=(const PageFaulter &) = delete;
    ~PageFaulter() { stop(); }

    // Does nothing for a small picture, or when no thread can be started:
    // the decoder then faults its pages in itself.
    void start(uchar *data, size_t bytes)
    {
        if (bytes < kFaultAheadFrom)
            return;
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        const auto address = reinterpret_cast<uintptr_t>(data);
        // The kernel takes whole pages; partial ones at the ends are left to
        // the decoder.
        const size_t skipped = roundUp(address, page) - address;
        if (skipped >= bytes)
            return;
        uchar *const first = data + skipped;
        const size_t length = roundDown(bytes - skipped, page);
        try {
            m_thread = std::thread([this, first, length] { run(first, length); });
        } catch (const std::exception &) {
        }
    }

    // Where the decoder has got to.
    void decodedUpTo(const uchar *end)
    {
        m_decodedEnd.store(reinterpret_cast<uintptr_t>(end), std::memory_order_relaxed);
    }

    // Called on every way out of the decoding, so that no thread outlives it.
    void stop()
    {
        if (!m_thread.joinable())
            return;
        m_stop.store(true, std::memory_order_relaxed);
        m_thread.join();
    }

private:
    void run(uchar *first, size_t length)
    {
        const auto start = reinterpret_cast<uintptr_t>(first);
        bool largePages = true;
        size_t offset = 0;
        while (!m_stop.load(std::memory_order_relaxed)) {
            // Behind the decoder, the faulter skips the rows already written.
            const uintptr_t decoded = m_decodedEnd.load(std::memory_order_relaxed);
            if (decoded > start + offset)
                offset = std::min(length, roundDown(decoded - start, kFaultAheadStep));
            if (offset >= length)
                return;
            const size_t step = std::min(kFaultAheadStep, length - offset);
            const std::int64_t before = threadCpuNs();
            // A kernel without this request leaves the faults to the decoder.
            if (::madvise(first + offset, step, MADV_POPULATE_WRITE) != 0)
                return;
            offset += step;
            // Small pages never come near the limit, so the test is harmless
            // on a picture without large pages.
            if (largePages && threadCpuNs() - before > kColdLargePageNs && offset < length) {
                ::madvise(first + offset, length - offset, MADV_NOHUGEPAGE);
                largePages = false;
            }
        }
    }

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<uintptr_t> m_decodedEnd{0};
};

struct DecodeState
{
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    QImage image;
    // After the picture, so that it stops before the picture goes.
    PageFaulter faulter;
    JpegDecodeOptions options;
    QSize fullSize;
    int errorCode = 0;
    bool created = false;
    bool cancelled = false;
};

bool cancelRequested(DecodeState &s)
{
    if (s.options.cancel && s.options.cancel->load(std::memory_order_relaxed))
        s.cancelled = true;
    return s.cancelled;
}

// The rows decoded so far: the page faulter skips them, a watcher may show
// them.
void rowsDone(DecodeState &s, uchar *bits, qsizetype stride)
{
    const JDIMENSION rows = s.cinfo.output_scanline;
    s.faulter.decodedUpTo(bits + stride * rows);
    if (s.options.rowsDone)
        s.options.rowsDone(int(rows));
}

// Converts one row of CMYK (inverted as Adobe writes it, or plain) to RGB.
void cmykRowToRgb(const JSAMPLE *cmyk, uchar *rgb, JDIMENSION width, bool inverted)
{
    for (JDIMENSION i = 0; i < width; ++i, cmyk += kCmykBytes, rgb += kRgbBytes) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = kFullByte - c;
            m = kFullByte - m;
            y = kFullByte - y;
            k = kFullByte - k;
        }
        rgb[0] = static_cast<uchar>(c * k / kFullByte);
        rgb[1] = static_cast<uchar>(m * k / kFullByte);
        rgb[2] = static_cast<uchar>(y * k / kFullByte);
    }
}

void freePicture(void *data)
{
    std::free(data);
}

// An RGB picture whose every row starts on the decoder's alignment. A null
// image when memory runs out.
QImage allocatePicture(JDIMENSION width, JDIMENSION height)
{
    const size_t stride = roundUp(size_t(width) * kRgbBytes, kRowAlignment);
    const size_t bytes = stride * height;
    const bool large = bytes >= kLargePage;
    const size_t alignment = large ? kLargePage : kRowAlignment;
    const size_t allocated = roundUp(qMax<size_t>(bytes, 1), alignment);
    void *data = std::aligned_alloc(alignment, allocated);
    if (!data)
        return QImage();
    if (large)
        ::madvise(data, allocated, MADV_HUGEPAGE);
    QImage picture(static_cast<uchar *>(data), int(width), int(height), qsizetype(stride),
                   QImage::Format_RGB888, freePicture, data);
    // A size the toolkit refuses leaves the memory with us.
    if (picture.isNull())
        std::free(data);
    return picture;
}

// The libjpeg calls, kept apart from any C++ object with a destructor so
// that the error jump skips nothing. Answers false with errorCode set.
bool decodeInto(DecodeState &s, const Input &input)
{
    jpeg_decompress_struct &cinfo = s.cinfo;
    cinfo.err = jpeg_std_error(&s.errors.pub);
    s.errors.pub.error_exit = errorExit;
    s.errors.pub.emit_message = emitMessage;
    s.errors.pub.output_message = outputMessage;
    if (setjmp(s.errors.jump)) {
        s.errorCode = s.errors.pub.msg_code;
        return false;
    }
    jpeg_create_decompress(&cinfo);
    s.created = true;
    setSource(&cinfo, input);
    jpeg_read_header(&cinfo, TRUE);
    s.fullSize = QSize(int(qMin<JDIMENSION>(cinfo.image_width, INT_MAX)),
                       int(qMin<JDIMENSION>(cinfo.image_height, INT_MAX)));
    if (s.options.headerOnly)
        return true;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);

    s.image = allocatePicture(cinfo.output_width, cinfo.output_height);
    if (s.image.isNull()) {
        s.errorCode = JERR_OUT_OF_MEMORY;
        return false;
    }

    uchar *const bits = s.image.bits();
    const qsizetype stride = s.image.bytesPerLine();
    s.faulter.start(bits, size_t(s.image.sizeInBytes()));
    // Shared only now that the rows' address is taken: a write through the
    // image itself would copy it.
    if (s.options.started)
        s.options.started(s.image);
    if (cmyk) {
        // One row at a time through a small buffer: CMYK has a fourth channel
        // that the picture does not keep.
        JSAMPARRAY buffer =
            (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                       cinfo.output_width * kCmykBytes, 1);
        const bool inverted = cinfo.saw_Adobe_marker;
        while (cinfo.output_scanline < cinfo.output_height) {
            if (cancelRequested(s))
                return false;
            const JDIMENSION row = cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, buffer, 1);
            cmykRowToRgb(buffer[0], bits + stride * row, cinfo.output_width, inverted);
            rowsDone(s, bits, stride);
        }
    } else {
        // Straight into the picture's own rows.
        JSAMPROW rows[kMaxRowsPerCall];
        while (cinfo.output_scanline < cinfo.output_height) {
            if (cancelRequested(s))
                return false;
            const JDIMENSION first = cinfo.output_scanline;
            JDIMENSION count = cinfo.output_height - first;
            if (count > static_cast<JDIMENSION>(kMaxRowsPerCall))
                count = kMaxRowsPerCall;
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = bits + stride * (first + i);
            jpeg_read_scanlines(&cinfo, rows, count);
            rowsDone(s, bits, stride);
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

QImage decode(const Input &input, const JpegDecodeOptions &options, QSize *fullSize)
{
    DecodeState state;
    std::memset(&state.cinfo, 0, sizeof state.cinfo);
    state.options = options;
    const bool ok = decodeInto(state, input);
    // Before the picture is handed over, or dropped with the error.
    state.faulter.stop();
    if (state.created)
        jpeg_destroy_decompress(&state.cinfo);
    if (state.cancelled)
        return QImage();
    if (!ok)
        throw QuorError(QStringLiteral("Erreur JPEG #%1").arg(state.errorCode));
    if (fullSize)
        *fullSize = state.fullSize;
    return std::move(state.image);
}

} // namespace

QImage decodeJpegData(const QByteArray &data)
{
    Input input;
    input.bytes = &data;
    return decode(input, {}, nullptr);
}

QImage decodeJpegFile(const QString &path)
{
    return decodeJpegFile(path, {});
}

QImage decodeJpegFile(const QString &path, const JpegDecodeOptions &options, QSize *fullSize)
{
    MapFile file(path);
    if (file.open() != 0)
        throwCannotOpen(path);
    std::vector<JOCTET> piece(kPieceSize);
    Input input;
    input.file = &file;
    input.piece = piece.data();
    return decode(input, options, fullSize);
}
