#include "kpfolderscan.h"

#include "kplog.h"
#include "kppictureloader.h"
#include "kppictureprobe.h"
#include "kpslideshow.h"

#include <QString>

#include <util/platform.h>

#include <algorithm>
#include <atomic>
#include <future>

struct KPFolderScan::Result
{
    QByteArray file;
    bool folder = false;
    QVector<Picture> pictures;
    std::atomic<bool> finished{false};
    std::promise<void> done;
    std::shared_future<void> released = done.get_future().share();
};

namespace {

// A folder entry is a slide only when it is a regular file with a picture's
// extension and a UTF-8 name: "file" and the slides' settings carry UTF-8, so
// another name would come back as a different path.
bool isSlideCandidate(const QByteArray &path, const char *name)
{
    if (!is_image_extension(os_get_path_extension(name)))
        return false;
    if (QString::fromUtf8(name).toUtf8() != QByteArray(name)) {
        KP_LOG(1, QStringLiteral("skipped, name not UTF-8:%1").arg(QString::fromUtf8(path.toPercentEncoding("/"))));
        return false;
    }
    if (!KPPictureProbe::isRegularFile(path)) {
        KP_LOG(1, QStringLiteral("skipped, not a regular file:%1").arg(QString::fromUtf8(path)));
        return false;
    }
    return true;
}

KPFolderScan::Picture measured(const QByteArray &path)
{
    const KPPictureProbe probe(path);
    KPFolderScan::Picture picture;
    picture.path = path;
    if (probe.accepted()) {
        picture.width = probe.width();
        picture.height = probe.height();
    }
    return picture;
}

} // namespace

KPFolderScan::KPFolderScan(const QByteArray &file) : m_file(file), m_result(std::make_shared<Result>())
{
    m_result->file = file;
    const std::shared_ptr<Result> result = m_result;
    KPPictureLoader::startWork([result] { run(result); });
}

KPFolderScan::~KPFolderScan()
{
    m_result->released.wait();
}

bool KPFolderScan::finished() const
{
    return m_result->finished.load();
}

bool KPFolderScan::isFolder() const
{
    return m_result->folder;
}

QVector<KPFolderScan::Picture> KPFolderScan::pictures() const
{
    return m_result->pictures;
}

QVector<QByteArray> KPFolderScan::slidesIn(const QByteArray &folder)
{
    QVector<QByteArray> paths;
    // opendir opens without blocking, so a FIFO named here cannot hang it.
    os_dir_t *dir = os_opendir(folder.constData());
    if (!dir)
        return paths;
    while (os_dirent *entry = os_readdir(dir)) {
        if (entry->directory)
            continue;
        QByteArray path = folder;
        path.append('/').append(entry->d_name);
        if (isSlideCandidate(path, entry->d_name))
            paths.append(path);
    }
    os_closedir(dir);
    // Directory order is arbitrary; slides follow the names.
    std::sort(paths.begin(), paths.end());
    return paths;
}

void KPFolderScan::run(const std::shared_ptr<Result> &result)
{
    if (os_dir_t *dir = os_opendir(result->file.constData())) {
        os_closedir(dir);
        result->folder = true;
        for (const QByteArray &path : slidesIn(result->file))
            result->pictures.append(measured(path));
    } else {
        result->pictures.append(measured(result->file));
    }
    result->finished = true;
    result->done.set_value();
}
