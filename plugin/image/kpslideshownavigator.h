#pragma once

#include <QString>
#include <QStringList>

#include "kpsourcehotkeys.h"

#include <functional>

// Moves a slideshow through its pictures from the keyboard: the hotkeys
// "kp_ss_hotkey_next", "_previous", "_first" and "_last", registered on the
// slideshow so that a stock libobs host lists, binds and saves them. They
// walk the property sheet's file list "c_data_name_file_list" (a folder entry
// stands for its pictures, sorted by name) and write the chosen path into
// "file" through the source's settings, so the switch takes the normal
// update path with its transition. At either end they stay put.
class KPSlideshowNavigator : public KPSourceHotkeys
{
public:
    enum class Step { Next, Previous, First, Last };

    // What the slideshow knows of its pictures: the path on air (empty when
    // none is) and every picture shown so far, in the order first shown.
    struct Slides
    {
        std::function<QString()> onAir;
        std::function<QStringList()> shown;
    };

    KPSlideshowNavigator(obs_source_t *source, Slides slides);

    // Kept for a holder (the source data) until detached.
    static void attach(const void *holder, obs_source_t *source, Slides slides);

    static const char *name(Step step);
    // The pictures a file list stands for, in walking order; a missing entry
    // or a folder without pictures is left out with a log line.
    static QStringList expand(obs_data_array_t *list);
    // Where a step from current leads in sequence; current itself at an end,
    // and an empty path when there is nowhere to go.
    static QString target(const QStringList &sequence, const QString &current, Step step);

    void go(Step step);

private:
    static QStringList folderPictures(const QString &folder);

    Slides m_slides;
};
