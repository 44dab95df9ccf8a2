#include "kplog.h"

#include <QDateTime>
#include <QStringList>
#include <QThread>

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
        fields << QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd hh:mm:ss:zzz: "));
    fields << QStringLiteral("[LEVEL=%1]").arg(level)
           << QStringLiteral("[TID=%1]").arg(threadValue(currentThreadId())) << line
           << QStringLiteral("[TYPE=%1]").arg(type) << QStringLiteral("[CONTENT=%1]").arg(content)
           << function << file;
    return fields.join(QString());
}

} // namespace kplog
