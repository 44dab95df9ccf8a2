#include "kplogcapture.h"

#include <cstdio>

namespace {

QMutex g_activeMutex;
KPLogCapture *g_active = nullptr;

} // namespace

KPLogCapture::KPLogCapture()
{
    QMutexLocker lock(&g_activeMutex);
    m_outer = g_active;
    g_active = this;
    base_get_log_handler(&m_previousHandler, &m_previousParam);
    base_set_log_handler(&KPLogCapture::handle, nullptr);
}

KPLogCapture::~KPLogCapture()
{
    QMutexLocker lock(&g_activeMutex);
    g_active = m_outer;
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

void KPLogCapture::handle(int, const char *format, va_list args, void *)
{
    char buffer[8192];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    QMutexLocker active(&g_activeMutex);
    if (!g_active)
        return;
    QMutexLocker lock(&g_active->m_mutex);
    g_active->m_lines << QString::fromLocal8Bit(buffer);
}
