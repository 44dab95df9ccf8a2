#pragma once

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QVector>

class QPainter;

// The laser pointer's trail: the points the pointer passed while pressed,
// each fading out linearly over kFadeSeconds after it was drawn, whether or
// not the button is still down. It is a pointer, not handwriting: no item,
// no undo step, nothing saved. Time is the board's own clock, advanced by
// the video ticks, so the fade follows the frames the viewers see.
class KPLaserTrail
{
public:
    static constexpr double kFadeSeconds = 1.0;

    // Width from the laser width and the stroke scale, bounded to [1, 1000].
    static double penWidth(quint32 size, double scale);

    // Starts a new stroke of the trail (not joined to the last one).
    void press(const QPointF &point, const QColor &colour, double width);
    // Extends the current stroke; nothing while not pressed.
    void moveTo(const QPointF &point);
    // Ends the stroke; its points fade on.
    void release();
    bool pressed() const { return m_pressed; }

    // Advances the clock and drops what has faded.
    void advance(double seconds);
    bool visible() const { return !m_points.isEmpty(); }
    // Where the trail paints now, glow included.
    QRect bounds() const;
    void paint(QPainter *painter) const;
    void clear();

private:
    struct Point
    {
        QPointF position;
        double time;
        bool joined; // a segment leads here from the point before
        QColor colour;
        double width;
    };
    void add(const QPointF &point, bool joined);
    double alphaAt(const Point &point) const;
    // The glow or the core of every segment, into a layer of bounds().
    void paintPass(QPainter *painter, bool glow) const;

    QVector<Point> m_points;
    double m_now = 0.0;
    bool m_pressed = false;
    QColor m_colour;
    double m_width = 1.0;
};
