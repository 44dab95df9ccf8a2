#include "kplog.h"

#include <QDateTime>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {

// The local time as "yyyyMMdd hh:mm:ss:zzz: ". The zone's offset from UTC is
// looked up at most once a minute: every local-time conversion makes the C
// library examine the zone file, which cost more than the rest of the line.
QString localTimestamp()
{
    static std::atomic<qint64> offsetValidUntil{0};
    static std::atomic<qint64> offsetMs{0};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now >= offsetValidUntil.load()) {
        offsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
        offsetValidUntil = now + 60000;
    }
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(now + offsetMs.load(), Qt::UTC);
    const QDate date = local.date();
    const QTime time = local.time();
    char text[32];
    std::snprintf(text, sizeof(text), "%04d%02d%02d %02d:%02d:%02d:%03d: ", date.year(), date.month(), date.day(),
                  time.hour(), time.minute(), time.second(), time.msec());
    return QString::fromLatin1(text);
}

} // namespace

namespace kplog {

QString lineField(int line)
{
    return QStringLiteral("[LINE=%1]").arg(QStringLiteral("0000%1").arg(line).right(4));
}

QString functionField(const char *signature)
{
    return QStringLiteral("[FUN=%1]").arg(QString::fromUtf8(signature));
}

QString fileField(const char *path)
{
    return QStringLiteral("[FILE=%1]").arg(QString::fromUtf8(path));
}

QString threadValue(qint64 threadId)
{
    return QStringLiteral("000000%1").arg(threadId).right(6);
}

qint64 currentThreadId()
{
    return static_cast<qint64>(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

QString composeLine(bool withTimestamp, int type, int level, const QString &line,
                    const QString &content, const QString &function, const QString &file)
{
    QStringList fields;
    if (withTimestamp)
        fields << localTimestamp();
    fields << QStringLiteral("[LEVEL=%1]").arg(level)
           << QStringLiteral("[TID=%1]").arg(threadValue(currentThreadId())) << line
           << QStringLiteral("[TYPE=%1]").arg(type) << QStringLiteral("[CONTENT=%1]").arg(content)
           << function << file;
    return fields.join(QString());
}

} // namespace kplog
