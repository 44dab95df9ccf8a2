#include "kphostlog.h"

#include <cstdio>

namespace {

KPHostLog *g_log = nullptr;

} // namespace

KPHostLog::KPHostLog(const QString &path) : m_file(path)
{
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    g_log = this;
    base_set_log_handler(&KPHostLog::onLibobsLine, this);
    qInstallMessageHandler(&KPHostLog::onQtMessage);
}

KPHostLog::~KPHostLog()
{
    qInstallMessageHandler(nullptr);
    base_set_log_handler(nullptr, nullptr);
    g_log = nullptr;
}

void KPHostLog::onLibobsLine(int level, const char *format, va_list args, void *param)
{
    char buffer[8192];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    static_cast<KPHostLog *>(param)->write(buffer, level <= LOG_ERROR);
}

void KPHostLog::onQtMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (g_log)
        g_log->write(message.toLocal8Bit(), type == QtCriticalMsg || type == QtFatalMsg);
}

void KPHostLog::write(const QByteArray &line, bool error)
{
    QMutexLocker lock(&m_mutex);
    if (m_file.isOpen()) {
        m_file.write(line);
        m_file.write("\n");
        m_file.flush();
    }
    if (error)
        std::fprintf(stderr, "kp-host: %s\n", line.constData());
}
