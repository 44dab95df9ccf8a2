#pragma once

#include <ostream>

#include <QList>
#include <QString>
#include <QStringList>

// The probe's log lines captured from standard output, split into fields.
struct ProbeLogLine
{
    int level = 0;
    int type = 0;
    QString content;
    QString function;
};

class ProbeLogCapture
{
public:
    ProbeLogCapture();
    // Stops capturing (once) and returns the lines written meanwhile.
    QList<ProbeLogLine> lines();
    // Content texts of type-1 lines only.
    QStringList contents();

private:
    bool m_active = true;
    QList<ProbeLogLine> m_lines;
};

// Readable Qt strings in test failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *out)
{
    *out << '{' << texts.join(QStringLiteral("; ")).toStdString() << '}';
}
