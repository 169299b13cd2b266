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
// window shows its rows as they come. The worker touches nothing but the
// file and the picture it decodes. The window's thread reads the rows
// already decoded through progress(), and takes the whole picture in one
// step through take().
class BackgroundDecode
{
public:
    struct Result
    {
        QImage picture;
        QString error; // the decoder's French message when it failed
    };

    // The rows decoded so far, from the top, and the picture that holds
    // them (null before its memory is there). Only those rows may be read.
    struct Progress
    {
        QImage picture;
        int rows = 0;
    };

    // Starts decoding `path`. `progressed` is called on `receiver`'s thread
    // when rows were decoded since the last progress() (never twice before
    // it is read), `finished` once the decoding ended, unless it was
    // cancelled. The receiver outlives this object (it owns it, as the map
    // session does).
    BackgroundDecode(const QString &path, const FileStamp &stamp, QObject *receiver,
                     std::function<void()> progressed, std::function<void()> finished);
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
    // On the receiver's thread: the rows ready now. After it, the next rows
    // call `progressed` again.
    Progress progress();
    // The outcome, once the worker ended (after finished, or after wait()).
    Result take();

    // Pictures of at least this many pixels are decoded in the background.
    static qint64 backgroundFrom();
    // Tests: a smaller threshold, and a step the worker runs before it
    // decodes, given the cancel flag so that it can stop waiting.
    static void setBackgroundFrom(qint64 pixels);
    static void setBeforeDecode(std::function<void(const std::atomic<bool> &cancel)> step);
    // Tests: a step the worker runs after each batch of rows, once they are
    // published, given how many are complete and the cancel flag.
    static void setAfterRows(std::function<void(int rows, const std::atomic<bool> &cancel)> step);

private:
    void run();
    void started(const QImage &picture);
    void rowsDone(int rows);

    std::function<void(int, const std::atomic<bool> &)> m_afterRows;
    const QString m_path;
    const FileStamp m_stamp;
    QObject *m_receiver;
    std::function<void()> m_progressed;
    std::function<void()> m_finished;
    std::atomic<bool> m_cancel{false};
    // Rows complete; stored after they are written, read before they are.
    std::atomic<int> m_rows{0};
    // A progress call is on its way and progress() was not called since.
    std::atomic<bool> m_progressPosted{false};
    std::mutex m_mutex;
    QImage m_picture;
    Result m_result;
    std::thread m_thread;
};
