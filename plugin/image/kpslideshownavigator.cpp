#include "kpslideshownavigator.h"

#include "kpfolderscan.h"
#include "kplog.h"
#include "kpslideshow.h"

#include <obs-module.h>

#include <QFileInfo>

namespace {

const char kListKey[] = "c_data_name_file_list";
const char kFileKey[] = "file";

constexpr KPSlideshowNavigator::Step kSteps[] = {
    KPSlideshowNavigator::Step::Next,
    KPSlideshowNavigator::Step::Previous,
    KPSlideshowNavigator::Step::First,
    KPSlideshowNavigator::Step::Last,
};

} // namespace

void KPSlideshowNavigator::attach(const void *holder, obs_source_t *source, Slides slides)
{
    KPSourceHotkeys::attach(holder, std::make_unique<KPSlideshowNavigator>(source, std::move(slides)));
}

KPSlideshowNavigator::KPSlideshowNavigator(obs_source_t *source, Slides slides)
    : KPSourceHotkeys(source), m_slides(std::move(slides))
{
    for (const Step step : kSteps)
        add(name(step), [this, step] { go(step); });
}

const char *KPSlideshowNavigator::name(Step step)
{
    switch (step) {
    case Step::Next: return "kp_ss_hotkey_next";
    case Step::Previous: return "kp_ss_hotkey_previous";
    case Step::First: return "kp_ss_hotkey_first";
    case Step::Last: return "kp_ss_hotkey_last";
    }
    return "";
}

QStringList KPSlideshowNavigator::folderPictures(const QString &folder)
{
    QStringList paths;
    for (const QByteArray &path : KPFolderScan::slidesIn(folder.toUtf8()))
        paths.append(QString::fromUtf8(path));
    return paths;
}

QStringList KPSlideshowNavigator::expand(obs_data_array_t *list)
{
    QStringList sequence;
    const size_t count = obs_data_array_count(list);
    for (size_t i = 0; i < count; ++i) {
        obs_data_t *element = obs_data_array_item(list, i);
        const QString entry = QString::fromUtf8(obs_data_get_string(element, "value"));
        obs_data_release(element);
        const QFileInfo info(entry);
        if (entry.isEmpty() || !info.exists()) {
            KP_LOG(1, QStringLiteral("slide list entry skipped, no such file: %1").arg(entry));
            continue;
        }
        if (!info.isDir()) {
            sequence.append(entry);
            continue;
        }
        const QStringList pictures = folderPictures(entry);
        if (pictures.isEmpty())
            KP_LOG(1, QStringLiteral("slide list entry skipped, no pictures in folder: %1").arg(entry));
        sequence.append(pictures);
    }
    return sequence;
}

QString KPSlideshowNavigator::target(const QStringList &sequence, const QString &current, Step step)
{
    if (sequence.isEmpty())
        return QString();
    const int at = sequence.indexOf(current);
    const int last = sequence.size() - 1;
    // From a picture outside the sequence, forward steps enter it at its
    // start and backward steps at its end.
    switch (step) {
    case Step::Next: return sequence.at(at < 0 ? 0 : qMin(at + 1, last));
    case Step::Previous: return sequence.at(at < 0 ? last : qMax(at - 1, 0));
    case Step::First: return sequence.first();
    case Step::Last: return sequence.last();
    }
    return QString();
}

void KPSlideshowNavigator::go(Step step)
{
    obs_data_t *settings = obs_source_get_settings(source());
    if (!settings)
        return;
    obs_data_array_t *list = obs_data_get_array(settings, kListKey);
    QStringList sequence = expand(list);
    obs_data_array_release(list);
    // A list that names no picture walks what has been shown instead.
    if (sequence.isEmpty() && m_slides.shown)
        sequence = m_slides.shown();
    // "file" is ahead of the picture on air while a switch waits for its
    // picture; a "file" naming a folder is placed by the picture on air.
    QString current = QString::fromUtf8(obs_data_get_string(settings, kFileKey));
    obs_data_release(settings);
    if (!sequence.contains(current) && m_slides.onAir) {
        const QString onAir = m_slides.onAir();
        if (!onAir.isEmpty())
            current = onAir;
    }
    const QString chosen = target(sequence, current, step);
    KP_LOG(1, QStringLiteral("slide step %1 from %2 to %3").arg(QLatin1String(name(step)), current, chosen));
    if (chosen.isEmpty() || chosen == current)
        return;
    obs_data_t *change = obs_data_create();
    obs_data_set_string(change, kFileKey, chosen.toUtf8().constData());
    obs_source_update(source(), change);
    obs_data_release(change);
}
