#include "logscope.h"

#include "kplog.h"

LogScope::LogScope(const QString &line, const QString &function, const QString &file, int level)
    : m_line(line), m_function(function), m_file(file), m_level(level)
{
    if (m_level < 0)
        return;
    m_start.start();
    writeLogLine(kplog::TypeScope, m_level, m_line, QStringLiteral("ENTER"), m_function, m_file);
}

LogScope::~LogScope()
{
    if (m_level < 0)
        return;
    const qint64 elapsed = m_start.elapsed();
    writeLogLine(kplog::TypeScope, m_level, m_line, QStringLiteral("LEAVE=%1ms").arg(elapsed),
                 m_function, m_file);
}
