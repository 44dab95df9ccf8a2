#include "kpannotationexporter.h"

#include "kpexportwriter.h"
#include "kpimageplugin.h"
#include "kpimagepluginlist.h"
#include "kplog.h"
#include "kpslideshow.h"
#include "kpwhiteboardobject.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QThreadPool>

#include <obs-module.h>

#include <cstring>

namespace {

const char kFolderKey[] = "kp_export_folder";
const char kButtonKey[] = "kp_export";

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

// The picture file under its drawings, both at the picture's own size.
QImage annotate(const QString &file, const QImage &drawings)
{
    QImageReader reader(file);
    QImage picture = reader.read();
    if (picture.isNull())
        return picture;
    picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&picture);
    painter.drawImage(0, 0, drawings);
    painter.end();
    return picture.convertToFormat(QImage::Format_RGBA8888);
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
    QString folder;
    QList<Capture> captures;
    QList<obs_source_t *> slides; // references to a slideshow's pictures
};

void KPAnnotationExporter::addProperties(obs_properties_t *properties, obs_source_t *source)
{
    obs_properties_add_path(properties, kFolderKey, obs_module_text(kFolderKey), OBS_PATH_DIRECTORY, nullptr,
                            nullptr);
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

bool KPAnnotationExporter::start(obs_source_t *source)
{
    KP_LOG_SCOPE();
    if (!setRunning(source)) {
        KP_LOG(1, QStringLiteral("export of %1 is still running.").arg(sourceName(source)));
        return false;
    }
    obs_data_t *settings = obs_source_get_settings(source);
    const QString folder = QString::fromUtf8(obs_data_get_string(settings, kFolderKey));
    obs_data_release(settings);
    if (folder.isEmpty()) {
        finish(source, false, QStringLiteral("no export folder chosen"));
        return false;
    }
    auto *job = new Job;
    job->source = obs_source_get_ref(source);
    job->folder = QDir::cleanPath(folder);
    // Sources change their pictures on the graphics thread; listing them there
    // sees no list half changed. Listing is cheap: no board is copied yet.
    if (obs_get_video() && !obs_in_task_thread(OBS_TASK_GRAPHICS))
        obs_queue_task(OBS_TASK_GRAPHICS, &KPAnnotationExporter::collect, job, false);
    else
        collect(job);
    return true;
}

void KPAnnotationExporter::collect(void *data)
{
    Job *job = static_cast<Job *>(data);
    collectSource(job, job->source);
    workers().start([job] { run(job); });
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
        QList<KPImagePlugin *> pages = list->single ? QList<KPImagePlugin *>() : list->pages.values();
        if (list->single && list->current)
            pages.append(list->current);
        for (KPImagePlugin *page : pages) {
            const QFileInfo file(page->filePath);
            job->captures.append({page->filePath, file.fileName(), file.completeBaseName(), page});
        }
    } else if (isType(source, {"kp_image_source", "kp_clound_source"})) {
        auto *ss = static_cast<slideshow *>(data);
        QList<obs_source_t *> slides;
        pthread_mutex_lock(&ss->mutex);
        for (size_t i = 0; i < ss->files.num; ++i)
            slides.append(obs_source_get_ref(ss->files.array[i].source));
        pthread_mutex_unlock(&ss->mutex);
        for (obs_source_t *slide : slides) {
            job->slides.append(slide);
            collectSource(job, slide);
        }
    }
}

void KPAnnotationExporter::run(Job *job)
{
    KP_LOG_SCOPE();
    QList<KPExportWriter::Picture> pictures;
    QStringList missing;
    for (const Job::Capture &capture : qAsConst(job->captures)) {
        // The board's lock is held only while it paints its own copy.
        const QImage drawings = capture.board->fullComposition();
        const QImage image = capture.file.isEmpty() ? drawings : annotate(capture.file, drawings);
        if (image.isNull()) {
            KP_LOG(1, QStringLiteral("export: cannot read %1").arg(capture.file));
            missing << capture.caption;
            continue;
        }
        pictures.append({capture.caption, capture.stem, image});
    }
    QStringList written;
    QString error;
    const bool succeeded =
        KPExportWriter::write(job->folder, sourceName(job->source), pictures, &written, &error);
    QString message = succeeded ? QStringLiteral("wrote %1 pictures and a handout to %2")
                                      .arg(pictures.size())
                                      .arg(job->folder)
                                : error;
    if (!missing.isEmpty())
        message += QStringLiteral("; cannot read %1").arg(missing.join(QStringLiteral(", ")));
    finish(job->source, succeeded, message);
    for (obs_source_t *slide : qAsConst(job->slides))
        obs_source_release(slide);
    obs_source_release(job->source);
    delete job;
}
