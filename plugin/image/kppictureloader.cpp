#include "kppictureloader.h"

#include "kppictureprobe.h"

#include <QThreadPool>

#include <obs.h>

#include <future>

namespace {

std::atomic<int> g_decodes{0};
std::atomic<int> g_inFlight{0};

enum State { Queued, Finished, Obsolete };

QThreadPool &pool()
{
    // Two decoders at most: the host's own threads keep the rest of the machine.
    static QThreadPool decoders;
    static const bool sized = (decoders.setMaxThreadCount(2), true);
    Q_UNUSED(sized);
    return decoders;
}

} // namespace

struct KPPictureLoader::Job
{
    QByteArray path;
    std::atomic<int> state{Queued};
    gs_image_file *image = nullptr; // written by the worker before Finished
    QString failure;
    std::promise<void> done;
    std::shared_future<void> finished = done.get_future().share();
};

KPPictureLoader::~KPPictureLoader()
{
    const std::shared_ptr<Job> job = m_job;
    cancel();
    if (job)
        job->finished.wait();
}

void KPPictureLoader::request(const QByteArray &path)
{
    cancel();
    auto job = std::make_shared<Job>();
    job->path = path;
    m_job = job;
    ++g_inFlight;
    startWork([job] { run(job); });
}

void KPPictureLoader::cancel()
{
    if (!m_job)
        return;
    if (m_job->state.exchange(Obsolete) == Finished)
        release(m_job->image);
    m_job.reset();
}

bool KPPictureLoader::take(Result *result)
{
    if (!m_job || m_job->state.load() != Finished)
        return false;
    result->path = m_job->path;
    result->image = m_job->image;
    result->failure = m_job->failure;
    m_job.reset();
    return true;
}

void KPPictureLoader::release(gs_image_file *image)
{
    if (!image)
        return;
    if (image->texture) {
        obs_enter_graphics();
        gs_image_file_free(image);
        obs_leave_graphics();
    } else {
        gs_image_file_free(image);
    }
    delete image;
}

void KPPictureLoader::startWork(std::function<void()> work)
{
    pool().start(std::move(work));
}

int KPPictureLoader::decodesStarted()
{
    return g_decodes;
}

int KPPictureLoader::requestsInFlight()
{
    return g_inFlight;
}

void KPPictureLoader::run(const std::shared_ptr<Job> &job)
{
    if (job->state.load() != Obsolete) {
        const KPPictureProbe probe(job->path);
        if (!probe.accepted()) {
            job->failure = probe.reason();
        } else {
            ++g_decodes;
            auto *image = new gs_image_file{};
            gs_image_file_init(image, job->path.constData());
            if (image->loaded) {
                job->image = image;
            } else {
                release(image);
                job->failure = QStringLiteral("not decoded");
            }
        }
    }
    int expected = Queued;
    if (!job->state.compare_exchange_strong(expected, Finished))
        release(job->image);
    --g_inFlight;
    job->done.set_value();
}
