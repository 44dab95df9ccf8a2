#include "kpboardcopies.h"

bool KPBoardCopies::put(const KPBoardCopy &copy)
{
    QMutexLocker lock(&m_mutex);
    while (m_held && !m_closed)
        m_taken.wait(&m_mutex);
    if (m_closed)
        return false;
    m_copy = copy;
    m_held = true;
    m_arrived.wakeOne();
    return true;
}

bool KPBoardCopies::take(KPBoardCopy *copy)
{
    QMutexLocker lock(&m_mutex);
    while (!m_held && !m_closed)
        m_arrived.wait(&m_mutex);
    if (!m_held)
        return false;
    *copy = m_copy;
    m_copy = KPBoardCopy();
    m_held = false;
    m_taken.wakeOne();
    return true;
}

void KPBoardCopies::close()
{
    QMutexLocker lock(&m_mutex);
    m_closed = true;
    m_arrived.wakeAll();
    m_taken.wakeAll();
}
