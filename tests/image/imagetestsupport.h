#pragma once

#include "kpimageplugin.h"
#include "kpimagepluginlist.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>

#include <obs.hpp>

// An image source of the plug-in's code linked into the test, created by type
// id inside real libobs and shown on the output unless told otherwise.
class ImageSource
{
public:
    ImageSource(const char *type, obs_data_t *settings, bool shown = true);
    ~ImageSource();

    obs_source_t *source() const { return m_source; }
    KPImagePluginList *list() const;
    KPImagePlugin *page() const { return list()->currentPage(); }

    // libobs applies an update on its next tick.
    void update(obs_data_t *settings);
    void setFile(const QString &path);
    void useTool(int type, long long color, int size);
    void setVisible(bool visible);
    void drag(QPoint from, QPoint to);
    QImage frame();

private:
    obs_source_t *m_source;
    obs_sceneitem_t *m_item = nullptr;
};

OBSDataAutoRelease fileSettings(const QString &path);
// A flat picture of one colour, written as PNG.
QString writePicture(const QString &dir, const QString &name, QColor colour, QSize size);
bool waitTicks(int count);
// Waits until every picture asked for is decoded and on its texture.
bool waitForPictures();
