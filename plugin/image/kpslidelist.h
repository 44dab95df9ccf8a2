#pragma once

// The slides of one slideshow: "files", one entry per picture shown so far
// in the order first shown, with "cur_item" the one on air; and the slides a
// scene load made for pictures not shown yet, with their drawings.
//
// Only the video thread changes the list (the slideshow's update and tick,
// and its load, which libobs runs there too); status, input, commands, the
// slide keys and the export read it from other threads. Every access holds
// the list's mutex, and a slide leaves it only as a new reference.

#include <obs.h>

#include <util/darray.h>

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

struct slide_file
{
    char *path;           // "file" exactly as given, owned (bmemdup)
    obs_source_t *source; // owned reference to the picture's private source
};

class KPSlideList
{
public:
    KPSlideList();
    ~KPSlideList();
    KPSlideList(const KPSlideList &) = delete;
    KPSlideList &operator=(const KPSlideList &) = delete;

    // Makes the private slide for path, its picture not decoded yet; null
    // (with a log line) when libobs cannot make one.
    static obs_source_t *createSlide(const char *path);

    size_t count() const;
    size_t currentIndex() const;
    bool isEmpty() const { return count() == 0; }
    // Index of the slide showing path, or count().
    size_t find(const char *path) const;
    // Appends the slide for path unless it is there, taking over the one a
    // load made for it; false when there is no slide for it.
    bool add(const char *path);
    void setCurrent(size_t index);

    // New references, or null.
    obs_source_t *current() const;
    obs_source_t *at(size_t index) const;
    QString path(size_t index) const;
    QString currentPath() const;
    QStringList paths() const;
    QList<obs_source_t *> shown() const;
    // Every slide, shown or made by a load.
    QList<obs_source_t *> all() const;
    // The slide for path, shown or made by a load; made (as a load's) when
    // there is none.
    obs_source_t *slideForLoad(const QByteArray &path);
    // Updates the slide at index with the slideshow's settings.
    void apply(size_t index, obs_data_t *settings) const;

private:
    obs_source_t *slideFor(const char *path) const;
    size_t findPrepared(const char *path) const;

    mutable QMutex m_mutex;
    DARRAY(struct slide_file) files;
    DARRAY(struct slide_file) prepared;
    size_t cur_item = 0;
};
