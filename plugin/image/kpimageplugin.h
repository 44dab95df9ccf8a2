#pragma once

#include "kpwhiteboardobject.h"

#include <QString>

// One annotation page of an image source: a board over a picture file. Its
// background is fully transparent so that the picture under it shows through.
class KPImagePlugin : public KPWhiteBoardObject
{
public:
    KPImagePlugin(obs_source_t *source, const QString &path);
    ~KPImagePlugin() override;

    // The picture this page annotates; read and written by the owning list only.
    QString filePath;
};
