#include "kphostlog.h"

#include <cstdio>

namespace {

KPHostLog *g_log = nullptr;

// The plug-in hands each of its lines to libobs's log and then to Qt's debug
// stream on the same thread; both end here, and the file takes the line once.
thread_local QByteArray t_lastLibobsLine;

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
    t_lastLibobsLine = buffer;
    static_cast<KPHostLog *>(param)->write(buffer, level <= LOG_ERROR);
}

void KPHostLog::onQtMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const QByteArray line = message.toLocal8Bit();
    if (line == t_lastLibobsLine) {
        t_lastLibobsLine.clear();
        return;
    }
    if (g_log)
        g_log->write(line, type == QtCriticalMsg || type == QtFatalMsg);
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
