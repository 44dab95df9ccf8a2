#pragma once

#include <QMutex>
#include <QStringList>

#include <util/base.h>

// Collects every line written to the host log while it exists; the previous
// handler is restored on destruction. libobs's threads may be inside the
// handler while a capture ends, so the handler reaches the capture only
// through one guarded pointer that the destructor clears.
class KPLogCapture
{
public:
    KPLogCapture();
    ~KPLogCapture();

    QStringList lines() const;
    // Lines whose CONTENT field is exactly the given text.
    QStringList linesWithContent(const QString &content) const;
    void clear();

private:
    static void handle(int level, const char *format, va_list args, void *param);

    mutable QMutex m_mutex;
    QStringList m_lines;
    KPLogCapture *m_outer = nullptr; // the capture this one stands in for
    log_handler_t m_previousHandler = nullptr;
    void *m_previousParam = nullptr;
};
