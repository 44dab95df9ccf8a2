#include "kplog.h"

#include <QDateTime>
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

// Built in one string: a board that loads thousands of items writes several
// lines for each, so a line must cost little more than its characters.
QString composeLine(bool withTimestamp, int type, int level, const QString &line,
                    const QString &content, const QString &function, const QString &file)
{
    QString text;
    text.reserve(96 + line.size() + content.size() + function.size() + file.size());
    if (withTimestamp)
        text += localTimestamp();
    text += QLatin1String("[LEVEL=");
    text += QString::number(level);
    text += QLatin1String("][TID=");
    text += threadValue(currentThreadId());
    text += QLatin1Char(']');
    text += line;
    text += QLatin1String("[TYPE=");
    text += QString::number(type);
    text += QLatin1String("][CONTENT=");
    text += content;
    text += QLatin1Char(']');
    text += function;
    text += file;
    return text;
}

} // namespace kplog
