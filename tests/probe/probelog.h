#pragma once

#include <QList>
#include <QString>

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
