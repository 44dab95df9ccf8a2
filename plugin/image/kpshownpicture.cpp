#include "kpshownpicture.h"

#include "kplog.h"

#include <QMutexLocker>

#include <util/platform.h>

#include <sys/stat.h>

#include <utility>

// No other thread reaches the picture any more.
KPShownPicture::~KPShownPicture()
{
    if (m_image)
        free();
}

KPShownPicture::FileStamp KPShownPicture::stampOf(const QByteArray &path)
{
    struct stat info = {};
    if (path.isEmpty() || os_stat(path.constData(), &info) != 0)
        return {};
    return {int64_t(info.st_mtim.tv_sec), int64_t(info.st_mtim.tv_nsec), int64_t(info.st_size)};
}

// The file is examined before the lock is taken: nothing waits on a disk
// while holding it.
void KPShownPicture::request(const QByteArray &path)
{
    const FileStamp stamp = stampOf(path);
    QMutexLocker lock(&m_lock);
    if (path == m_requestedPath && stamp == m_fileStamp)
        return;
    m_requestedPath = path;
    m_fileStamp = stamp;
    m_sinceFileCheck = 0.0f;
    m_loader.request(path);
}

void KPShownPicture::forget()
{
    QMutexLocker lock(&m_lock);
    m_loader.cancel();
    m_requestedPath.clear();
    m_fileStamp = {};
    m_notShown.clear();
}

void KPShownPicture::free()
{
    obs_enter_graphics();
    gs_image_file *old = std::exchange(m_image, nullptr);
    setImage(nullptr);
    if (old)
        gs_image_file_free(old);
    obs_leave_graphics();
    delete old;
}

// Inside the graphics context.
void KPShownPicture::setImage(gs_image_file *image)
{
    m_image = image;
    m_width = image ? image->cx : 0;
    m_height = image ? image->cy : 0;
    m_animated = image && image->is_animated_gif;
}

bool KPShownPicture::takeDecoded(KPPictureLoader::Result *result)
{
    QMutexLocker lock(&m_lock);
    const bool finished = m_loader.take(result);
    m_installing = finished;
    return finished;
}

// The texture is made here, inside the graphics context, and the previous
// picture goes only now. A picture that did not decode, or whose texture
// could not be made, counts as no picture at all: the source never sizes or
// draws itself from it.
bool KPShownPicture::install(KPPictureLoader::Result &result)
{
    free();
    obs_enter_graphics();
    if (result.image) {
        gs_image_file_init_texture(result.image);
        if (!result.image->texture) {
            gs_image_file_free(result.image);
            delete std::exchange(result.image, nullptr);
            result.failure = QStringLiteral("no texture");
        }
    }
    setImage(result.image);
    obs_leave_graphics();
    const QString path = QString::fromUtf8(result.path);
    if (result.failure.isEmpty()) {
        setNotShown(QString());
        return true;
    }
    KP_LOG(1, QStringLiteral("picture not shown, %1: %2").arg(result.failure, path));
    KP_LOG(1, QStringLiteral("failed to load texture %1").arg(path));
    setNotShown(QStringLiteral("%1: %2").arg(path, result.failure));
    return false;
}

// A file that disappears makes the picture go blank; when it comes back, or
// changes, it is decoded again.
bool KPShownPicture::fileChanged(float seconds)
{
    QMutexLocker lock(&m_lock);
    m_sinceFileCheck += seconds;
    if (m_sinceFileCheck < 1.0f && m_onAir)
        return false;
    m_sinceFileCheck = 0.0f;
    const QByteArray path = m_requestedPath;
    const FileStamp known = m_fileStamp;
    lock.unlock();
    return !path.isEmpty() && stampOf(path) != known;
}

void KPShownPicture::animate(bool onAir, uint64_t frameTime)
{
    if (!onAir) {
        if (m_onAir && m_animated)
            restartAnimation();
        m_onAir = false;
        return;
    }
    if (!m_onAir) {
        if (m_animated)
            m_lastFrameTime = frameTime;
        m_onAir = true;
    }
    if (m_lastFrameTime != 0 && m_animated)
        advanceAnimation(frameTime - m_lastFrameTime);
    m_lastFrameTime = frameTime;
}

void KPShownPicture::restartAnimation()
{
    obs_enter_graphics();
    if (gs_image_file *image = m_image; image && image->is_animated_gif) {
        image->cur_frame = 0;
        image->cur_loop = 0;
        image->cur_time = 0;
        gs_image_file_update_texture(image);
    }
    obs_leave_graphics();
}

void KPShownPicture::advanceAnimation(uint64_t elapsedNs)
{
    obs_enter_graphics();
    if (gs_image_file *image = m_image; image && image->is_animated_gif && gs_image_file_tick(image, elapsedNs))
        gs_image_file_update_texture(image);
    obs_leave_graphics();
}

void KPShownPicture::endTick()
{
    m_installing = false;
}

void KPShownPicture::askUnload(bool ask)
{
    m_unloadPending = ask;
}

bool KPShownPicture::takeUnloadRequest()
{
    return m_unloadPending.exchange(false);
}

bool KPShownPicture::draw(gs_effect_t *effect) const
{
    gs_image_file *image = m_image;
    if (!image || !image->texture)
        return false;
    if (effect)
        gs_effect_set_texture(gs_effect_get_param_by_name(effect, "image"), image->texture);
    gs_draw_sprite(image->texture, 0, image->cx, image->cy);
    return true;
}

bool KPShownPicture::settled() const
{
    QMutexLocker lock(&m_lock);
    return !m_loader.busy() && !m_installing;
}

QString KPShownPicture::notShown() const
{
    QMutexLocker lock(&m_lock);
    return m_notShown;
}

void KPShownPicture::setNotShown(const QString &reason)
{
    QMutexLocker lock(&m_lock);
    m_notShown = reason;
}
