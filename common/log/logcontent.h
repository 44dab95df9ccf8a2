#pragma once

#include <QString>

// Encrypted log content: the content's Latin-1 bytes in standard Base64, then
// every digit and letter rotated by LogKey. '+', '/' and '=' stay as they are.
//
// LogKey = (digits 3, lower case 7, upper case 11). To read an encrypted
// CONTENT field, rotate digits back by 3, lower-case letters by 7 and
// upper-case letters by 11, then Base64-decode (decodeLogContent does this).
struct LogKey
{
    int digitShift;
    int lowerShift;
    int upperShift;
};

constexpr LogKey kLogKey{3, 7, 11};

QString encodeLogContent(const QString &content, const LogKey &key = kLogKey);
QString decodeLogContent(const QString &encoded, const LogKey &key = kLogKey);
