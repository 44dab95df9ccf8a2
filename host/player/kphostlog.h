#pragma once

#include <QFile>
#include <QMutex>
#include <QString>

#include <util/base.h>

// The host's log: libobs's log lines and Qt's messages go to one file; errors
// are echoed on standard error.
class KPHostLog
{
public:
    explicit KPHostLog(const QString &path);
    ~KPHostLog();

    KPHostLog(const KPHostLog &) = delete;
    KPHostLog &operator=(const KPHostLog &) = delete;

    QString path() const { return m_file.fileName(); }

private:
    static void onLibobsLine(int level, const char *format, va_list args, void *param);
    static void onQtMessage(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void write(const QByteArray &line, bool error);

    QMutex m_mutex;
    QFile m_file;
};
