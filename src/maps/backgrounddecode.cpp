#include "backgrounddecode.h"

#include "data/quorerror.h"

#include <QMetaObject>

namespace {

// A scan of 16 megapixels decodes in about 80 ms: below, the window waits
// for it rather than showing its rows as they come.
constexpr qint64 kDefaultBackgroundFrom = qint64(16) * 1000 * 1000;
std::atomic<qint64> g_backgroundFrom{kDefaultBackgroundFrom};

std::mutex g_beforeDecodeMutex;
std::function<void(const std::atomic<bool> &)> g_beforeDecode;
std::function<void(int, const std::atomic<bool> &)> g_afterRows;

} // namespace

BackgroundDecode::BackgroundDecode(const QString &path, const FileStamp &stamp,
                                   QObject *receiver, std::function<void()> progressed,
                                   std::function<void()> finished)
    : m_path(path), m_stamp(stamp), m_receiver(receiver), m_progressed(std::move(progressed)),
      m_finished(std::move(finished))
{
    m_thread = std::thread([this] { run(); });
}

BackgroundDecode::~BackgroundDecode()
{
    m_cancel.store(true, std::memory_order_relaxed);
    wait();
}

void BackgroundDecode::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

BackgroundDecode::Progress BackgroundDecode::progress()
{
    // Cleared first: rows that arrive from now on post a new call. In one
    // order with the worker's (sequentially consistent), so that the last
    // rows are either read here or posted again.
    m_progressPosted.store(false);
    Progress progress;
    progress.rows = m_rows.load();
    const std::lock_guard lock(m_mutex);
    progress.picture = m_picture;
    if (progress.picture.isNull())
        progress.rows = 0;
    return progress;
}

void BackgroundDecode::started(const QImage &picture)
{
    const std::lock_guard lock(m_mutex);
    m_picture = picture;
}

void BackgroundDecode::rowsDone(int rows)
{
    m_rows.store(rows);
    // One call at a time: the window reads every row done when it comes, and
    // a slow window is not flooded.
    if (!m_progressPosted.exchange(true))
        QMetaObject::invokeMethod(m_receiver, m_progressed, Qt::QueuedConnection);
    if (m_afterRows)
        m_afterRows(rows, m_cancel);
}

BackgroundDecode::Result BackgroundDecode::take()
{
    const std::lock_guard lock(m_mutex);
    m_picture = QImage();
    return std::move(m_result);
}

void BackgroundDecode::run()
{
    std::function<void(const std::atomic<bool> &)> before;
    {
        const std::lock_guard lock(g_beforeDecodeMutex);
        before = g_beforeDecode;
        m_afterRows = g_afterRows;
    }
    if (before)
        before(m_cancel);
    Result result;
    try {
        JpegDecodeOptions options;
        options.cancel = &m_cancel;
        options.started = [this](const QImage &picture) { started(picture); };
        options.rowsDone = [this](int rows) { rowsDone(rows); };
        result.picture = decodeJpegFile(m_path, options);
    } catch (const QuorError &error) {
        result.error = error.text();
    } catch (const std::exception &error) {
        result.error = QString::fromLocal8Bit(error.what());
    }
    if (m_cancel.load(std::memory_order_relaxed))
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_result = std::move(result);
    }
    // Posting is the only use of the receiver on this thread; the receiver
    // waits for this thread before it goes, and drops the call with its
    // other pending events.
    QMetaObject::invokeMethod(m_receiver, m_finished, Qt::QueuedConnection);
}

qint64 BackgroundDecode::backgroundFrom()
{
    return g_backgroundFrom.load(std::memory_order_relaxed);
}

void BackgroundDecode::setBackgroundFrom(qint64 pixels)
{
    g_backgroundFrom.store(pixels, std::memory_order_relaxed);
}

void BackgroundDecode::setBeforeDecode(std::function<void(const std::atomic<bool> &)> step)
{
    const std::lock_guard lock(g_beforeDecodeMutex);
    g_beforeDecode = std::move(step);
}

void BackgroundDecode::setAfterRows(std::function<void(int, const std::atomic<bool> &)> step)
{
    const std::lock_guard lock(g_beforeDecodeMutex);
    g_afterRows = std::move(step);
}
