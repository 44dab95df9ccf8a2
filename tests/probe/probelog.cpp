#include "probelog.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

ProbeLogCapture::ProbeLogCapture()
{
    ::testing::internal::CaptureStdout();
}

QList<ProbeLogLine> ProbeLogCapture::lines()
{
    if (!m_active)
        return m_lines;
    m_active = false;
    const QString text = QString::fromStdString(::testing::internal::GetCapturedStdout());
    static const QRegularExpression pattern(QStringLiteral(
        "^\\d{8} \\d\\d:\\d\\d:\\d\\d:\\d{3}: \\[LEVEL=(-?\\d+)\\]\\[TID=\\d{6}\\]\\[LINE=\\d{4}\\]"
        "\\[TYPE=(\\d+)\\]\\[CONTENT=(.*)\\]\\[FUN=(.*)\\]\\[FILE=[^\\]]*\\]$"));
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = pattern.match(line);
        EXPECT_TRUE(match.hasMatch()) << "malformed log line: " << line.toStdString();
        if (match.hasMatch())
            m_lines << ProbeLogLine{match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3),
                                    match.captured(4)};
    }
    return m_lines;
}

QStringList ProbeLogCapture::contents()
{
    QStringList result;
    for (const ProbeLogLine &line : lines())
        if (line.type == 1)
            result << line.content;
    return result;
}
