#include "kpannotationexporter.h"

#include "kpboardcopies.h"
#include "kpexportwriter.h"
#include "kpimageconverter.h"
#include "kpimageplugin.h"
#include "kpimagepluginlist.h"
#include "kplog.h"
#include "kppictureprobe.h"
#include "kpslideshow.h"
#include "kpwhiteboardobject.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QThreadPool>

#include <obs-module.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kFolderKey[] = "kp_export_folder";
const char kButtonKey[] = "kp_export";
const char kTitleKey[] = "kp_export_title";
const char kLayoutKey[] = "kp_export_layout";
const char kNotesKey[] = "kp_export_notes";

struct ExportState
{
    bool running = false;
    bool succeeded = false;
    QString message;
};

QMutex &stateMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<obs_source_t *, ExportState> &states()
{
    static QHash<obs_source_t *, ExportState> map;
    return map;
}

// One export at a time: exports are rare and each may decode large pictures.
// The thread ends with its export, and with it the font caches Qt keeps per
// thread for the handout's captions, which a thread alive at exit would leave.
QThreadPool &workers()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    pool.setExpiryTimeout(0);
    return pool;
}

// Exports not yet finished, so that an unloading module can stop them.
struct Jobs
{
    QMutex mutex;
    QList<KPAnnotationExporter::Job *> list;
    bool closed = false;
};

Jobs &jobs()
{
    static Jobs all;
    return all;
}

bool isType(obs_source_t *source, std::initializer_list<const char *> ids)
{
    const char *id = obs_source_get_id(source);
    for (const char *wanted : ids) {
        if (id && std::strcmp(id, wanted) == 0)
            return true;
    }
    return false;
}

QString sourceName(obs_source_t *source)
{
    const char *name = obs_source_get_name(source);
    return name && *name ? QString::fromUtf8(name) : QStringLiteral("export");
}

// The picture file as the image sources would take it: a regular file
// within their budget, opened without blocking (a FIFO swapped in after the
// probe would otherwise hold the worker forever) and checked again once open.
QImage readPicture(const QString &file, QString *reason)
{
    const QByteArray path = QFile::encodeName(file);
    const KPPictureProbe probe(path);
    if (!probe.accepted()) {
        *reason = probe.reason();
        return QImage();
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info = {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *reason = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("not a regular file");
        if (fd >= 0)
            ::close(fd);
        return QImage();
    }
    QFile device;
    device.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    // The name's format first, as for the path a reader would be given (a TGA has no signature).
    QImageReader reader(&device, QFileInfo(file).suffix().toLower().toLatin1());
    const QSize size = reader.size();
    // A GIF's frames may reach beyond its screen, so the probe's size is the larger.
    if (!size.isValid() || uint32_t(size.width()) > probe.width() || uint32_t(size.height()) > probe.height()) {
        *reason = QStringLiteral("changed since it was checked");
        return QImage();
    }
    QImage picture = reader.read();
    if (picture.isNull())
        *reason = QStringLiteral("not decoded: %1").arg(reader.errorString());
    return picture;
}

// The picture under its drawings, both at the picture's own size; a
// whiteboard's drawings (no picture) are the whole picture.
QImage overlay(const QImage &picture, const QImage &drawings)
{
    if (picture.isNull() || drawings.isNull())
        return drawings;
    QImage composed = KPImageConverter::converted(picture, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&composed);
    painter.drawImage(0, 0, drawings);
    painter.end();
    return KPImageConverter::converted(composed, QImage::Format_RGBA8888);
}

QString countText(int count, const char *one, const char *many)
{
    return count == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                      : QStringLiteral("%1 %2").arg(count).arg(QLatin1String(many));
}

} // namespace

struct KPAnnotationExporter::Job
{
    struct Capture
    {
        QString file; // empty for a whiteboard, whose board is the whole picture
        QString caption;
        QString stem;
        KPWhiteBoardObject *board;
    };

    obs_source_t *source = nullptr; // a reference, held until the job ends
    QString name;
    QString title; // the handout's, the source's name unless set
    QString folder;
    QDateTime started;
    int perPage = 1;
    bool notes = false;
    std::atomic<bool> cancelled{false};
    QList<Capture> captures;
    QList<obs_source_t *> slides; // references to a slideshow's pictures
};

void KPAnnotationExporter::addProperties(obs_properties_t *properties, obs_source_t *source)
{
    obs_properties_add_path(properties, kFolderKey, obs_module_text(kFolderKey), OBS_PATH_DIRECTORY, nullptr,
                            nullptr);
    obs_properties_add_text(properties, kTitleKey, obs_module_text(kTitleKey), OBS_TEXT_DEFAULT);
    obs_property_t *layout = obs_properties_add_list(properties, kLayoutKey, obs_module_text(kLayoutKey),
                                                     OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_INT);
    for (const int perPage : {1, 2, 4, 6})
        obs_property_list_add_int(layout, QByteArray::number(perPage).append(" per page").constData(), perPage);
    obs_properties_add_bool(properties, kNotesKey, obs_module_text(kNotesKey));
    obs_properties_add_button2(properties, kButtonKey, obs_module_text(kButtonKey), &KPAnnotationExporter::onClicked,
                               source);
}

void KPAnnotationExporter::addStatus(obs_source_t *source, obs_data_t *status)
{
    if (!source || !status)
        return;
    QMutexLocker lock(&stateMutex());
    const auto it = states().constFind(source);
    if (it == states().constEnd())
        return;
    obs_data_set_string(status, "kp_export_state", it->running ? "running" : it->succeeded ? "done" : "failed");
    obs_data_set_string(status, "kp_export_message", it->message.toUtf8().constData());
}

bool KPAnnotationExporter::onClicked(obs_properties_t *, obs_property_t *, void *source)
{
    if (!source)
        KP_LOG(1, QStringLiteral("export pressed on a property sheet without a source."));
    else
        start(static_cast<obs_source_t *>(source));
    return false;
}

bool KPAnnotationExporter::setRunning(obs_source_t *source)
{
    QMutexLocker lock(&stateMutex());
    auto it = states().find(source);
    if (it != states().end() && it->running)
        return false;
    if (it == states().end()) {
        signal_handler_connect(obs_source_get_signal_handler(source), "destroy", &KPAnnotationExporter::onDestroyed,
                               nullptr);
        it = states().insert(source, ExportState());
    }
    *it = ExportState{true, false, QString()};
    return true;
}

void KPAnnotationExporter::onDestroyed(void *, calldata_t *calldata)
{
    auto *source = static_cast<obs_source_t *>(calldata_ptr(calldata, "source"));
    QMutexLocker lock(&stateMutex());
    states().remove(source);
}

void KPAnnotationExporter::finish(obs_source_t *source, bool succeeded, const QString &message)
{
    KP_LOG(1, QStringLiteral("export of %1 %2: %3")
                  .arg(sourceName(source), QLatin1String(succeeded ? "done" : "failed"), message));
    QMutexLocker lock(&stateMutex());
    states()[source] = ExportState{false, succeeded, message};
}

// A title that will not fit a page or a file name, and a layout not offered,
// are put right with a log line.
void KPAnnotationExporter::readHandoutSettings(Job *job, obs_data_t *settings)
{
    const QString title = QString::fromUtf8(obs_data_get_string(settings, kTitleKey));
    job->title = KPHandout::cleanTitle(title);
    if (job->title != title.trimmed())
        KP_LOG(1, QStringLiteral("export title shortened or cleaned to \"%1\".").arg(job->title));
    if (job->title.isEmpty())
        job->title = job->name;
    const long long perPage = obs_data_get_int(settings, kLayoutKey);
    job->perPage = KPHandout::nearestLayout(perPage);
    if (obs_data_has_user_value(settings, kLayoutKey) && perPage != job->perPage)
        KP_LOG(1, QStringLiteral("%1 pictures per page is not offered: %2 instead.").arg(perPage).arg(job->perPage));
    job->notes = obs_data_get_bool(settings, kNotesKey);
}

bool KPAnnotationExporter::start(obs_source_t *source)
{
    KP_LOG_SCOPE();
    if (!setRunning(source)) {
        KP_LOG(1, QStringLiteral("export of %1 is still running.").arg(sourceName(source)));
        return false;
    }
    obs_data_t *settings = obs_source_get_settings(source);
    const QString folder = QString::fromUtf8(obs_data_get_string(settings, kFolderKey));
    if (folder.isEmpty()) {
        obs_data_release(settings);
        finish(source, false, QStringLiteral("no export folder chosen"));
        return false;
    }
    auto *job = new Job;
    job->source = obs_source_get_ref(source);
    job->name = sourceName(source);
    job->folder = QDir::cleanPath(folder);
    readHandoutSettings(job, settings);
    obs_data_release(settings);
    job->started = QDateTime::currentDateTime();
    // Sources change their pictures on the graphics thread; listing them there
    // sees no list half changed. Listing is cheap: no board is copied yet.
    // Waiting for it means no job is ever left queued where an unloading
    // module cannot reach it.
    if (obs_get_video() && !obs_in_task_thread(OBS_TASK_GRAPHICS))
        obs_queue_task(OBS_TASK_GRAPHICS, &KPAnnotationExporter::collect, job, true);
    else
        collect(job);
    QMutexLocker lock(&jobs().mutex);
    if (jobs().closed) {
        lock.unlock();
        finishJob(job, false, QStringLiteral("the host is quitting"));
        return false;
    }
    jobs().list.append(job);
    workers().start([job] { run(job); });
    return true;
}

void KPAnnotationExporter::shutdown()
{
    {
        QMutexLocker lock(&jobs().mutex);
        jobs().closed = true;
        for (Job *job : qAsConst(jobs().list))
            job->cancelled = true;
    }
    // A cancelled job stops after the picture it is writing and lets go of
    // its sources, while libobs can still destroy them.
    workers().waitForDone();
}

void KPAnnotationExporter::reopen()
{
    QMutexLocker lock(&jobs().mutex);
    jobs().closed = false;
}

void KPAnnotationExporter::collect(void *data)
{
    Job *job = static_cast<Job *>(data);
    collectSource(job, job->source);
}

void KPAnnotationExporter::collectSource(Job *job, obs_source_t *source)
{
    void *data = obs_obj_get_data(source);
    if (!data)
        return;
    if (isType(source, {"kp_source_whiteboard"})) {
        const QString name = sourceName(source);
        job->captures.append({QString(), name, name, static_cast<KPWhiteBoardObject *>(data)});
    } else if (isType(source, {"obsolete_image_module", "kp_single_image_source"})) {
        const auto *list = static_cast<KPImagePluginList *>(data);
        for (const auto &[path, page] : list->annotatedPages()) {
            const QFileInfo file(path);
            job->captures.append({path, file.fileName(), file.completeBaseName(), page});
        }
    } else if (isType(source, {"kp_image_source", "kp_clound_source"})) {
        auto *ss = static_cast<slideshow *>(data);
        const QList<obs_source_t *> slides = ss->slides().shown();
        for (obs_source_t *slide : slides) {
            job->slides.append(slide);
            collectSource(job, slide);
        }
    }
}

namespace {

KPHandout::Options handoutOptions(const KPAnnotationExporter::Job *job)
{
    KPHandout::Options options;
    options.title = job->title;
    options.date = job->started.date();
    options.perPage = job->perPage;
    options.notes = job->notes;
    options.slides = job->captures.size();
    return options;
}

// Writes the pictures, as their board copies arrive, and the handout.
bool writeExport(KPAnnotationExporter::Job *job, KPBoardCopies *copies, QString *message)
{
    QStringList stems;
    for (const KPAnnotationExporter::Job::Capture &capture : qAsConst(job->captures))
        stems << capture.stem;
    // Every name is fitted before the first byte is written.
    const QStringList names = KPExportWriter::pictureNames(stems);
    const QString handout = KPExportWriter::fitName(KPExportWriter::safeStem(job->title), QStringLiteral("-annotated.pdf"));
    const KPHandout::Options options = handoutOptions(job);
    const QString subfolder = KPExportWriter::subfolderName(job->name, job->started);
    KPExportWriter writer;
    QString error;
    QStringList leftOut;
    int written = 0;
    bool succeeded = writer.open(job->folder, handout, options, &error);
    KPBoardCopy copy;
    for (int i = 0; succeeded && i < job->captures.size(); ++i) {
        if (job->cancelled || !copies->take(&copy)) {
            error = QStringLiteral("cancelled: the host is quitting");
            succeeded = false;
            break;
        }
        const KPAnnotationExporter::Job::Capture &capture = job->captures[i];
        QString reason;
        const QImage picture = capture.file.isEmpty() ? QImage() : readPicture(capture.file, &reason);
        if (!capture.file.isEmpty() && picture.isNull()) {
            KP_LOG(1, QStringLiteral("export: %1 left out: %2").arg(capture.file, reason));
            leftOut << QStringLiteral("%1 (%2)").arg(capture.caption, reason);
            writer.addMissing(capture.caption, reason);
            continue;
        }
        succeeded = writer.add(capture.caption, names[i], overlay(picture, copy.drawings),
                               overlay(picture, copy.printed), &error);
        written += succeeded ? 1 : 0;
    }
    copy = KPBoardCopy();
    if (succeeded && written == 0) {
        error = QStringLiteral("no picture to export");
        succeeded = false;
    }
    QString path;
    succeeded = succeeded && writer.publish(subfolder, &path, &error);
    *message = succeeded ? QStringLiteral("Exported %1 and a handout to %2")
                               .arg(countText(written, "picture", "pictures"), path)
                         : error;
    if (!leftOut.isEmpty())
        *message += QStringLiteral("; left out %1").arg(leftOut.join(QStringLiteral(", ")));
    return succeeded;
}

} // namespace

// Decoding and encoding run on a thread of their own at the lowest priority,
// so that they yield to rendering and to the host's own threads; this thread
// keeps its priority to copy the boards, since the graphics thread waits for
// a board's lock every tick and must never wait behind a thread the
// scheduler leaves waiting. (On Linux the nice value is a thread's own, and
// QThread's priorities do nothing for threads of the normal policy.)
void KPAnnotationExporter::run(Job *job)
{
    KP_LOG_SCOPE();
    KPBoardCopies copies;
    bool succeeded = false;
    QString message;
    std::thread writer([&] {
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        succeeded = writeExport(job, &copies, &message);
        copies.close();
    });
    // The board's lock is held only while it paints its own copy. A picture
    // printed smaller than its pixels gets a second copy with its lines
    // widened, so that a hairline still prints.
    const KPHandout::Options options = handoutOptions(job);
    for (int i = 0; i < job->captures.size(); ++i) {
        KPWhiteBoardObject *board = job->captures[i].board;
        const quint32 width = KPHandout::minimumLineWidth(options, i, QSize(board->width(), board->height()));
        KPBoardCopy copy{board->fullComposition(), QImage()};
        if (width > 1)
            copy.printed = board->fullComposition(width);
        if (!copies.put(copy))
            break;
    }
    copies.close();
    writer.join();
    finishJob(job, succeeded, message);
}

void KPAnnotationExporter::finishJob(Job *job, bool succeeded, const QString &message)
{
    finish(job->source, succeeded, message);
    for (obs_source_t *slide : qAsConst(job->slides))
        obs_source_release(slide);
    obs_source_release(job->source);
    {
        QMutexLocker lock(&jobs().mutex);
        jobs().list.removeOne(job);
    }
    delete job;
}
