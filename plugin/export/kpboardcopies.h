#pragma once

#include <QImage>
#include <QMutex>
#include <QWaitCondition>

// A board's drawings as the PNG shows them, and for the handout with lines
// widened to print (null when the PNG's will do).
struct KPBoardCopy
{
    QImage drawings;
    QImage printed;
};

// Board copies on their way from the thread that makes them to the thread
// that writes them, one at a time. Either side may close it: the writer when
// it fails or is cancelled, the copier after the last copy.
class KPBoardCopies
{
public:
    // Waits until the last copy was taken; false once closed.
    bool put(const KPBoardCopy &copy);
    // Waits for a copy; false once closed with none left.
    bool take(KPBoardCopy *copy);
    void close();

private:
    QMutex m_mutex;
    QWaitCondition m_arrived;
    QWaitCondition m_taken;
    KPBoardCopy m_copy;
    bool m_held = false;
    bool m_closed = false;
};
