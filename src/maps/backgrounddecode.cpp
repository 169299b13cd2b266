#include "backgrounddecode.h"

#include "data/quorerror.h"

#include <QMetaObject>

namespace {

// A scan of 16 megapixels decodes in about 80 ms: below, the window waits
// for it rather than showing a reduced picture first.
constexpr qint64 kDefaultBackgroundFrom = qint64(16) * 1000 * 1000;
std::atomic<qint64> g_backgroundFrom{kDefaultBackgroundFrom};

std::mutex g_beforeDecodeMutex;
std::function<void(const std::atomic<bool> &)> g_beforeDecode;

} // namespace

BackgroundDecode::BackgroundDecode(const QString &path, const FileStamp &stamp,
                                   QObject *receiver, std::function<void()> finished)
    : m_path(path), m_stamp(stamp), m_receiver(receiver), m_finished(std::move(finished))
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

BackgroundDecode::Result BackgroundDecode::take()
{
    const std::lock_guard lock(m_mutex);
    return std::move(m_result);
}

void BackgroundDecode::run()
{
    std::function<void(const std::atomic<bool> &)> before;
    {
        const std::lock_guard lock(g_beforeDecodeMutex);
        before = g_beforeDecode;
    }
    if (before)
        before(m_cancel);
    Result result;
    try {
        JpegDecodeOptions options;
        options.cancel = &m_cancel;
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
