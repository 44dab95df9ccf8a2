#pragma once

// The diagnostic log: one single-line format shared by the plug-in and the probe.
//
//   [timestamp][LEVEL=n][TID=nnnnnn][LINE=nnnn][TYPE=n][CONTENT=...][FUN=...][FILE=...]
//
// Each deliverable links exactly one sink (kp-log-plugin or kp-log-probe), which
// provides writeLogLine. Type 1 is an ordinary message, type 5 a scope timer line.

#include <QString>
#include <QtGlobal>

#include "logscope.h"

// Writes one line. line, function and file arrive already wrapped in their
// brackets (see the macros below); the sink adds timestamp, level, thread,
// type and content.
void writeLogLine(int type, int level, const QString &line, const QString &content,
                  const QString &function, const QString &file);

namespace kplog {

enum LineType { TypeMessage = 1, TypeScope = 5 };

QString lineField(int line);
QString functionField(const char *signature);
QString fileField(const char *path);
QString threadValue(qint64 threadId);
qint64 currentThreadId();

// Builds the whole line; an empty timestamp leaves field 1 out.
QString composeLine(bool withTimestamp, int type, int level, const QString &line,
                    const QString &content, const QString &function, const QString &file);

} // namespace kplog

#define KP_LOG(level, content)                                                        \
    writeLogLine(kplog::TypeMessage, (level), kplog::lineField(__LINE__), (content),   \
                 kplog::functionField(Q_FUNC_INFO), kplog::fileField(__FILE__))

#define KP_LOG_SCOPE_LEVEL(level)                                                     \
    LogScope kpLogScope_(kplog::lineField(__LINE__), kplog::functionField(Q_FUNC_INFO), \
                         kplog::fileField(__FILE__), (level))

#define KP_LOG_SCOPE() KP_LOG_SCOPE_LEVEL(1)
