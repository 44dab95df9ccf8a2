#pragma once

#include <QByteArray>
#include <QString>

#include <graphics/image-file.h>

#include <atomic>
#include <functional>
#include <memory>

// Decodes an image source's picture files on a worker thread, so that
// neither reading nor decoding ever runs inside a video tick. One request is
// in flight at a time: a new one makes the previous obsolete, and an obsolete
// decode is thrown away by whichever side sees it last. Results come back
// without texture; the video thread makes the texture.
//
// Owned by one source and called from the threads libobs drives it on, one
// at a time; the worker shares only the request record with it.
class KPPictureLoader
{
public:
    // A finished request: the decoded picture (heap-allocated so that the
    // decoder's internal pointers never move), or null with the reason.
    struct Result
    {
        QByteArray path;
        gs_image_file *image = nullptr;
        QString failure;
    };

    KPPictureLoader() = default;
    // Drops the request in flight and waits until its worker has let go.
    ~KPPictureLoader();

    void request(const QByteArray &path);
    void cancel();
    // True from a request until its result is taken or dropped.
    bool busy() const { return m_job != nullptr; }
    // Hands over the result of the request once it has finished.
    bool take(Result *result);

    // Frees a picture; its texture, if any, inside the graphics context.
    static void release(gs_image_file *image);

    // Runs work on the decoders' threads (folder scans share them).
    static void startWork(std::function<void()> work);

    // Decodes begun since start-up, and requests not yet finished, process-wide.
    static int decodesStarted();
    static int requestsInFlight();

private:
    struct Job;
    static void run(const std::shared_ptr<Job> &job);

    std::shared_ptr<Job> m_job;

    KPPictureLoader(const KPPictureLoader &) = delete;
    KPPictureLoader &operator=(const KPPictureLoader &) = delete;
};
