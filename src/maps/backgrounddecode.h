#pragma once

#include "mapimagecache.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// The full picture of a big scan, decoded on a worker thread while the map
// window already shows a reduced one. The worker touches nothing but the
// file and the picture it decodes; the picture reaches the window's objects
// in one step, on the window's thread, through take().
class BackgroundDecode
{
public:
    struct Result
    {
        QImage picture;
        QString error; // the decoder's French message when it failed
    };

    // Starts decoding `path`; `finished` is then called on `receiver`'s
    // thread, unless the decoding was cancelled. The receiver outlives this
    // object (it owns it, as the map session does).
    BackgroundDecode(const QString &path, const FileStamp &stamp, QObject *receiver,
                     std::function<void()> finished);
    // Cancels the decoding and waits for the worker, which stops within a
    // few rows.
    ~BackgroundDecode();
    BackgroundDecode(const BackgroundDecode &) = delete;
    BackgroundDecode &operator=(const BackgroundDecode &) = delete;

    const QString &path() const { return m_path; }
    // The file as it was before the decoding began.
    const FileStamp &stamp() const { return m_stamp; }
    // Blocks until the worker ended.
    void wait();
    // The outcome, once the worker ended (after finished, or after wait()).
    Result take();

    // Pictures of at least this many pixels are decoded in the background.
    static qint64 backgroundFrom();
    // Tests: a smaller threshold, and a step the worker runs before it
    // decodes, given the cancel flag so that it can stop waiting.
    static void setBackgroundFrom(qint64 pixels);
    static void setBeforeDecode(std::function<void(const std::atomic<bool> &cancel)> step);

private:
    void run();

    const QString m_path;
    const FileStamp m_stamp;
    QObject *m_receiver;
    std::function<void()> m_finished;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    Result m_result;
    std::thread m_thread;
};
