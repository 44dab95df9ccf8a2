#pragma once

#include "kpwhiteboardobject.h"

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPoint>
#include <QPointF>

#include <obs.h>

#include <memory>

// Drives a board the way the host does and reads its composed frame.
namespace boardtest {

const quint32 kWhite = 0xffffffffu;
const quint32 kTransparent = 0x00000000u;
const quint32 kRed = 0xff0000ffu;

struct DataDeleter
{
    void operator()(obs_data_t *data) const { obs_data_release(data); }
};
using Data = std::unique_ptr<obs_data_t, DataDeleter>;

// Board settings with a tool; width and height 400 by 300 unless given.
Data boardSettings(int type, quint32 background = kWhite, quint32 color = kRed, int size = 20,
                   int width = 400, int height = 300);

// A 400 by 300 board whose current tool is the given type.
struct DrawingBoard
{
    explicit DrawingBoard(int type, quint32 background = kWhite, quint32 color = kRed,
                          int size = 20)
        : board(nullptr)
    {
        board.updateWithSettings(boardSettings(type, background, color, size).get());
    }
    KPWhiteBoardObject board;
};

obs_mouse_event mouseAt(int x, int y);
void press(KPWhiteBoardObject &board, QPoint p, int button = MOUSE_LEFT, uint32_t clicks = 1);
void move(KPWhiteBoardObject &board, QPoint p);
void release(KPWhiteBoardObject &board, QPoint p, int button = MOUSE_LEFT, uint32_t clicks = 1);
// Press at from, move through the given points, release at to.
void drag(KPWhiteBoardObject &board, QPoint from, QPoint to);
void setShift(KPWhiteBoardObject &board, bool held);

void tablet(KPWhiteBoardObject &board, QEvent::Type type, QPointF pos, double pressure,
            Qt::MouseButtons buttons = Qt::NoButton);

// A finished full-pressure tablet stroke in a straight line.
void tabletStroke(KPWhiteBoardObject &board, QPointF from, QPointF to);

// Composes one frame and returns it.
QImage compose(KPWhiteBoardObject &board);

bool isInk(const QImage &image, int x, int y);
// Coverage of a stroke across a line of pixels: alpha summed and divided by
// the stroke's own alpha, so a fully covered pixel counts 1.
double columnCoverage(const QImage &image, int x, int y0, int y1, int strokeAlpha);
// The same for opaque red on white: the missing green counts.
double redOnWhiteCoverage(const QImage &image, int x, int y0, int y1);

} // namespace boardtest
