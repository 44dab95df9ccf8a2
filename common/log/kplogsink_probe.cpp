// The probe's sink: standard output only, always with a timestamp, nothing for
// a negative level. The content's UTF-8 bytes are re-read as Latin-1 and the
// line is written back as Latin-1, so a console sees the content's UTF-8 bytes
// exactly once whatever the process locale.

#include "kplog.h"

#include <cstdio>

void writeLogLine(int type, int level, const QString &line, const QString &content,
                  const QString &function, const QString &file)
{
    if (level < 0)
        return;
    const QString prepared = QString::fromLatin1(content.toUtf8());
    const QString text = kplog::composeLine(true, type, level, line, prepared, function, file);
    // Line and end-of-line in one write: the SDK's threads log at the same
    // time as the interface thread, and two writes could let another line in between.
    const QByteArray bytes = text.toLatin1() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}
