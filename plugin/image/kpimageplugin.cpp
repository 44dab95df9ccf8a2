#include "kpimageplugin.h"

KPImagePlugin::KPImagePlugin(obs_source_t *source, const QString &path)
    : KPWhiteBoardObject(source), filePath(path)
{
    m_background = 0;
}

KPImagePlugin::~KPImagePlugin() = default;
