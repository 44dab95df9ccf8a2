#include "kpslidelist.h"

#include "kplog.h"
#include "kppictureboards.h"

#include <QMutexLocker>

#include <util/bmem.h>

#include <cstring>
#include <utility>

namespace {

const char kSlideType[] = "kp_single_image_source";

slide_file makeEntry(const char *path, obs_source_t *source)
{
    slide_file entry;
    entry.path = static_cast<char *>(bmemdup(path, std::strlen(path) + 1));
    entry.source = source;
    return entry;
}

template<typename Array>
void releaseAll(Array &array)
{
    for (size_t i = 0; i < array.num; ++i) {
        bfree(array.array[i].path);
        obs_source_release(array.array[i].source);
    }
    da_free(array);
}

} // namespace

KPSlideList::KPSlideList()
{
    da_init(files);
    da_init(prepared);
}

KPSlideList::~KPSlideList()
{
    releaseAll(files);
    releaseAll(prepared);
}

obs_source_t *KPSlideList::createSlide(const char *path)
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", path);
    obs_data_set_bool(settings, "unload", true);
    obs_data_set_bool(settings, "kp_wb_hideHandwriting", false);
    // A slide decodes its picture only when it is about to go on air.
    obs_data_set_bool(settings, "active", false);
    obs_source_t *source = obs_source_create_private(kSlideType, nullptr, settings);
    obs_data_release(settings);
    // libobs answers a create that failed with a placeholder without data,
    // which would show nothing and take no input.
    if (source && !obs_obj_get_data(source)) {
        KP_LOG(1, QStringLiteral("source of type %1 has no data.").arg(QLatin1String(kSlideType)));
        obs_source_release(source);
        return nullptr;
    }
    return source;
}

size_t KPSlideList::count() const
{
    QMutexLocker lock(&m_mutex);
    return files.num;
}

size_t KPSlideList::currentIndex() const
{
    QMutexLocker lock(&m_mutex);
    return cur_item;
}

size_t KPSlideList::find(const char *path) const
{
    QMutexLocker lock(&m_mutex);
    for (size_t i = 0; i < files.num; ++i) {
        if (std::strcmp(files.array[i].path, path) == 0)
            return i;
    }
    return files.num;
}

size_t KPSlideList::findPrepared(const char *path) const
{
    for (size_t i = 0; i < prepared.num; ++i) {
        if (std::strcmp(prepared.array[i].path, path) == 0)
            return i;
    }
    return prepared.num;
}

bool KPSlideList::add(const char *path)
{
    if (find(path) < count())
        return true;
    bool hasPrepared = false;
    {
        QMutexLocker lock(&m_mutex);
        hasPrepared = findPrepared(path) < prepared.num;
    }
    // Made outside the lock: libobs creates and updates the slide at once.
    obs_source_t *made = hasPrepared ? nullptr : createSlide(path);
    bool added = false;
    {
        // A load may have made this slide since: that one has the drawings.
        QMutexLocker lock(&m_mutex);
        const size_t found = findPrepared(path);
        if (found < prepared.num) {
            da_push_back(files, &prepared.array[found]);
            da_erase(prepared, found);
            added = true;
        } else if (made) {
            slide_file entry = makeEntry(path, std::exchange(made, nullptr));
            da_push_back(files, &entry);
            added = true;
        }
    }
    obs_source_release(made);
    if (!added)
        KP_LOG(1, QStringLiteral("slide source not created for:%1").arg(QString::fromUtf8(path)));
    return added;
}

void KPSlideList::setCurrent(size_t index)
{
    QMutexLocker lock(&m_mutex);
    if (index < files.num)
        cur_item = index;
}

obs_source_t *KPSlideList::current() const
{
    QMutexLocker lock(&m_mutex);
    return files.num ? obs_source_get_ref(files.array[cur_item].source) : nullptr;
}

obs_source_t *KPSlideList::at(size_t index) const
{
    QMutexLocker lock(&m_mutex);
    return index < files.num ? obs_source_get_ref(files.array[index].source) : nullptr;
}

QString KPSlideList::path(size_t index) const
{
    QMutexLocker lock(&m_mutex);
    return index < files.num ? QString::fromUtf8(files.array[index].path) : QString();
}

QString KPSlideList::currentPath() const
{
    QMutexLocker lock(&m_mutex);
    return files.num ? QString::fromUtf8(files.array[cur_item].path) : QString();
}

QStringList KPSlideList::paths() const
{
    QMutexLocker lock(&m_mutex);
    QStringList list;
    for (size_t i = 0; i < files.num; ++i)
        list.append(QString::fromUtf8(files.array[i].path));
    return list;
}

QList<obs_source_t *> KPSlideList::shown() const
{
    QMutexLocker lock(&m_mutex);
    QList<obs_source_t *> slides;
    for (size_t i = 0; i < files.num; ++i)
        slides.append(obs_source_get_ref(files.array[i].source));
    return slides;
}

QList<obs_source_t *> KPSlideList::all() const
{
    QList<obs_source_t *> slides = shown();
    QMutexLocker lock(&m_mutex);
    for (size_t i = 0; i < prepared.num; ++i)
        slides.append(obs_source_get_ref(prepared.array[i].source));
    return slides;
}

obs_source_t *KPSlideList::slideFor(const char *path) const
{
    for (size_t i = 0; i < files.num; ++i) {
        if (std::strcmp(files.array[i].path, path) == 0)
            return obs_source_get_ref(files.array[i].source);
    }
    const size_t found = findPrepared(path);
    return found < prepared.num ? obs_source_get_ref(prepared.array[found].source) : nullptr;
}

obs_source_t *KPSlideList::slideForLoad(const QByteArray &path)
{
    {
        QMutexLocker lock(&m_mutex);
        if (obs_source_t *slide = slideFor(path.constData()))
            return slide;
    }
    obs_source_t *made = createSlide(path.constData());
    QMutexLocker lock(&m_mutex);
    obs_source_t *slide = slideFor(path.constData());
    if (!slide && made) {
        slide_file entry = makeEntry(path.constData(), made);
        da_push_back(prepared, &entry);
        slide = obs_source_get_ref(std::exchange(made, nullptr));
    }
    lock.unlock();
    obs_source_release(made);
    return slide;
}

// The slideshow's settings reach the slide's own settings (hide handwriting,
// drawing tool, "active"), but "file" always stays the slide's own path: a
// slide never switches to another picture, whether the slideshow's "file" is
// the folder of the first fill or a picture whose slide could not be made.
// Only the slide going on air is "active", and so decodes its picture.
void KPSlideList::apply(size_t index, obs_data_t *settings) const
{
    obs_source_t *slide = at(index);
    if (!slide)
        return;
    obs_data_t *own = obs_data_create();
    obs_data_apply(own, settings);
    obs_data_set_string(own, "file", path(index).toUtf8().constData());
    obs_data_set_bool(own, "active", true);
    // The slideshow's saved drawings are its own; each slide has its part.
    obs_data_erase(own, KPPictureBoards::Key);
    obs_source_update(slide, own);
    obs_data_release(own);
    obs_source_release(slide);
}
