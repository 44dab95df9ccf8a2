#include "kplogcapture.h"

#include <cstdio>

KPLogCapture::KPLogCapture()
{
    base_get_log_handler(&m_previousHandler, &m_previousParam);
    base_set_log_handler(&KPLogCapture::handle, this);
}

KPLogCapture::~KPLogCapture()
{
    base_set_log_handler(m_previousHandler, m_previousParam);
}

QStringList KPLogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

QStringList KPLogCapture::linesWithContent(const QString &content) const
{
    const QString field = QStringLiteral("[CONTENT=%1]").arg(content);
    QStringList found;
    for (const QString &line : lines()) {
        if (line.contains(field))
            found << line;
    }
    return found;
}

void KPLogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}

void KPLogCapture::handle(int, const char *format, va_list args, void *param)
{
    char buffer[8192];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    auto *self = static_cast<KPLogCapture *>(param);
    QMutexLocker lock(&self->m_mutex);
    self->m_lines << QString::fromLocal8Bit(buffer);
}
