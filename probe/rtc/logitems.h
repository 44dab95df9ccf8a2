#pragma once

#include <QDebug>
#include <QString>
#include <QStringList>

// Content texts of the probe's log lines: items of the form name=value joined
// by ",", each value rendered the way QDebug prints it (unquoted).
namespace logitems {

template <typename T>
QString value(const T &item)
{
    QString text;
    QDebug(&text).noquote() << item;
    // QDebug follows every item with a separator space; a value is the item alone.
    if (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

template <typename T>
QString item(const char *format, const T &itemValue)
{
    return QString::fromLatin1(format).arg(value(itemValue));
}

// A C text argument; a null pointer stays a null string.
inline QString text(const char *utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

inline QString join(const QStringList &items)
{
    return items.join(QLatin1Char(','));
}

} // namespace logitems
