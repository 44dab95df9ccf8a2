#include "kpboardscene.h"

#include "kputilinterface.h"
#include "kpwhiteboarditemobject.h"
#include "kpwhiteboardobject.h"

QSize KPBoardScene::canvasSize() const
{
    return QSize(m_board->m_width, m_board->m_height);
}

QColor KPBoardScene::backgroundColor() const
{
    return KPUtilInterface::toQColor(m_board->m_background);
}

bool KPBoardScene::handwritingHidden() const
{
    return m_board->m_hideHandwriting;
}

const QList<QSharedPointer<KPWhiteBoardItemObject>> &KPBoardScene::finishedItems() const
{
    return m_board->m_items;
}

void KPBoardScene::prepareLiveLayers()
{
    m_board->ensurePressureLayer();
}

QRect KPBoardScene::liveBounds() const
{
    return m_board->currentBounds();
}

bool KPBoardScene::liveShowing() const
{
    const auto &current = m_board->m_currentData;
    return !m_board->m_hideHandwriting && current && (current->leftClicked() || !current->pressurePoints().isEmpty());
}

void KPBoardScene::paintLiveLayers(QPainter *painter, int flags)
{
    m_board->paintLayers(painter, flags);
}
