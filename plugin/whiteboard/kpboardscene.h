#pragma once

#include "kpboardcompositor.h"

class KPWhiteBoardObject;

// What a board's compositor paints from: the board's background, finished
// items and live layers (the item being drawn and the pressure layer), read
// under the board's lock.
class KPBoardScene final : public KPBoardCompositor::Scene
{
public:
    explicit KPBoardScene(KPWhiteBoardObject *board) : m_board(board) {}

    QSize canvasSize() const override;
    QColor backgroundColor() const override;
    bool handwritingHidden() const override;
    const QList<KPBoardCompositor::Item> &finishedItems() const override;
    void prepareLiveLayers() override;
    QRect liveBounds() const override;
    bool liveShowing() const override;
    void paintLiveLayers(QPainter *painter, int flags) override;

private:
    KPWhiteBoardObject *m_board;
};
