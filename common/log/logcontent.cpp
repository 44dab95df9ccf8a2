#include "logcontent.h"

#include <QByteArray>

namespace {

char rotate(char c, int digitShift, int lowerShift, int upperShift)
{
    if (c >= '0' && c <= '9')
        return static_cast<char>('0' + (digitShift + c - '0') % 10);
    if (c >= 'a' && c <= 'z')
        return static_cast<char>('a' + (lowerShift + c - 'a') % 26);
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>('A' + (upperShift + c - 'A') % 26);
    return c;
}

QByteArray rotateAll(QByteArray text, int digitShift, int lowerShift, int upperShift)
{
    for (char &c : text)
        c = rotate(c, digitShift, lowerShift, upperShift);
    return text;
}

} // namespace

QString encodeLogContent(const QString &content, const LogKey &key)
{
    const QByteArray base64 = content.toLatin1().toBase64();
    return QString::fromLatin1(rotateAll(base64, key.digitShift, key.lowerShift, key.upperShift));
}

QString decodeLogContent(const QString &encoded, const LogKey &key)
{
    const QByteArray base64 = rotateAll(encoded.toLatin1(), 10 - key.digitShift % 10,
                                        26 - key.lowerShift % 26, 26 - key.upperShift % 26);
    return QString::fromLatin1(QByteArray::fromBase64(base64));
}
