// The plug-in's sink: every line goes to the host's log; when the host has log
// encryption off, the line also carries a timestamp and goes to Qt's debug stream.

#include "kplog.h"
#include "logcontent.h"

#include <QDebug>

#include <obs.h>

#include "kpobsext.h"

void writeLogLine(int type, int level, const QString &line, const QString &content,
                  const QString &function, const QString &file)
{
    const bool encrypted = kp_obs_get_log_encrypted();
    const QString text = kplog::composeLine(!encrypted, type, level, line,
                                            encrypted ? encodeLogContent(content) : content,
                                            function, file);
    blog(LOG_INFO, "%s", text.toLocal8Bit().constData());
    if (!encrypted)
        QMessageLogger().debug().noquote() << text;
}
