#include "kpwhiteboarditemobject.h"

#include "ft2source.h"
#include "kpitemshapes.h"
#include "kpitemstrokes.h"
#include "kphittest.h"
#include "kplog.h"
#include "kptextdata.h"
#include "kptoolbox.h"
#include "kputilinterface.h"
#include "kpwhiteboardobject.h"

#include <QPainter>

#include <climits>
#include <cmath>

namespace {

const char kItemPropertyKey[] = "kp_wb_data_itemProperty";
const char kTextDataKey[] = "kp_wb_data_textData";
const char kStartXKey[] = "kp_wb_data_startPoint_x";
const char kStartYKey[] = "kp_wb_data_startPoint_y";
const char kEndXKey[] = "kp_wb_data_endPoint_x";
const char kEndYKey[] = "kp_wb_data_endPoint_y";
const char kPointsKey[] = "kp_wb_data_points";
const char kPointXKey[] = "kp_wb_data_points_x";
const char kPointYKey[] = "kp_wb_data_points_y";
const char kPressureKey[] = "kp_wb_pressure_points";
const char kPressureXKey[] = "kp_wb_pressure_points_x";
const char kPressureYKey[] = "kp_wb_pressure_points_y";
const char kPressureValueKey[] = "kp_wb_pressure_points_pressure";

const double kArrowHeadRatio = 0.5 * 1.67;
const double kArrowHeadAngle = 30.0;
// Far beyond any canvas: larger reaches bound the same pixels.
const double kMaxReach = 1.0e6;
// Bounds stay this close to the origin, so that they convert to integer rectangles.
const double kMaxCoordinate = 1.0e9;

double arrowHeadLength(double lineWidth)
{
    return KPItemShapes::kArrowHeadLength + 2.0 * (qMax(1.0, lineWidth) - 1.0);
}

// Reads a coordinate only when the record holds it; otherwise it keeps its value.
void readCoordinate(obs_data_t *data, const char *key, int &coordinate)
{
    if (obs_data_has_user_value(data, key))
        coordinate = static_cast<int>(obs_data_get_int(data, key));
}

} // namespace

KPWhiteBoardItemObject::KPWhiteBoardItemObject(KPWhiteBoardObject *board,
                                               const KPWB::ItemProperty &property)
    : m_whiteBoardObject(board), itemProperty(property)
{
}

KPWhiteBoardItemObject::~KPWhiteBoardItemObject()
{
    delete m_textItemData;
}

void KPWhiteBoardItemObject::TextHost::finishTextItem()
{
    m_item->m_initialized = true;
    m_item->m_finishRequested = true;
}

void KPWhiteBoardItemObject::TextHost::requestTextRedraw()
{
    if (m_item->m_whiteBoardObject)
        m_item->m_whiteBoardObject->requestRedraw();
}

QColor KPWhiteBoardItemObject::TextHost::textColor() const
{
    return KPUtilInterface::toQColor(m_item->itemProperty.color);
}

KPTextItemData *KPWhiteBoardItemObject::textData()
{
    if (!m_textItemData)
        m_textItemData = new KPTextItemData(&m_textHost);
    return m_textItemData;
}

bool KPWhiteBoardItemObject::takeFinishRequest()
{
    const bool requested = m_finishRequested;
    m_finishRequested = false;
    return requested;
}

QSharedPointer<KPWhiteBoardItemObject> KPWhiteBoardItemObject::createFromData(
    KPWhiteBoardObject *board, obs_data_t *data)
{
    KP_LOG_SCOPE();
    if (!board || !data) {
        KP_LOG(1, QStringLiteral("createFromData: no board or no record."));
        return QSharedPointer<KPWhiteBoardItemObject>();
    }
    QSharedPointer<KPWhiteBoardItemObject> item(
        new KPWhiteBoardItemObject(board, KPWB::ItemProperty()));
    item->updateWithSettings(data);
    item->markInitialized();
    return item;
}

bool KPWhiteBoardItemObject::isStroke() const
{
    return itemProperty.type == KPWB::DRAW_ITEM_TYPE_PEN ||
           itemProperty.type == KPWB::Draw_ITEM_TYPE_PEN_ALPHA;
}

bool KPWhiteBoardItemObject::isText() const
{
    return itemProperty.type == KPWB::DRAW_ITEM_TYPE_TEXT;
}

double KPWhiteBoardItemObject::scale() const
{
    return m_whiteBoardObject ? m_whiteBoardObject->itemScale() : 1.0;
}

// ---- geometry ------------------------------------------------------------

// The distances are taken in 64 bits: two points at opposite ends of the
// integer range are more than an int apart. The constrained end always lies
// between start and end, so it fits an int again.
QPoint KPWhiteBoardItemObject::squareEnd(const QPoint &start, const QPoint &end)
{
    const qint64 dx = std::abs(qint64(end.x()) - start.x());
    const qint64 dy = std::abs(qint64(end.y()) - start.y());
    if (dy < dx)
        return QPoint(int(end.x() > start.x() ? start.x() + dy : start.x() - dy), end.y());
    return QPoint(end.x(), int(end.y() > start.y() ? start.y() + dx : start.y() - dx));
}

QPoint KPWhiteBoardItemObject::straightEnd(const QPoint &start, const QPoint &end)
{
    const qint64 dx = std::abs(qint64(end.x()) - start.x());
    const qint64 dy = std::abs(qint64(end.y()) - start.y());
    if (dy < dx)
        return QPoint(end.x(), start.y());
    return QPoint(start.x(), end.y());
}

QRectF KPWhiteBoardItemObject::normalizedBox(const QPointF &a, const QPointF &b)
{
    return QRectF(QPointF(qMin(a.x(), b.x()), qMin(a.y(), b.y())),
                  QPointF(qMax(a.x(), b.x()), qMax(a.y(), b.y())));
}

QVector<QLineF> KPWhiteBoardItemObject::arrowLines(const QLineF &shaft, double lineWidth)
{
    QVector<QLineF> lines{shaft};
    const double length = shaft.length();
    // A shaft without length has no direction, so it gets no head.
    if (!(length > 0.0))
        return lines;
    const double head = qMin(arrowHeadLength(lineWidth), length * kArrowHeadRatio);
    const QPointF tip = shaft.p2();
    const QLineF back(tip, shaft.pointAt(1.0 - head / length));
    QLineF left = back;
    left.setAngle(back.angle() + kArrowHeadAngle);
    QLineF right = back;
    right.setAngle(back.angle() - kArrowHeadAngle);
    lines << QLineF(left.p2(), tip) << QLineF(right.p2(), tip);
    return lines;
}

double KPWhiteBoardItemObject::pressurePenWidth(double pressure, double scale, double lineWidth)
{
    return lineWidth * (scale * (pressure * 3.0) + 1.0);
}

double KPWhiteBoardItemObject::lineHalfWidth() const
{
    // A one-pixel pen covers half a pixel on each side of its line.
    return itemProperty.lineWidth > 1 ? itemProperty.lineWidth / 2.0 : 0.5;
}

QRectF KPWhiteBoardItemObject::paintBounds() const
{
    if (isText())
        return QRectF(QPointF(-kMaxReach, -kMaxReach), QPointF(kMaxReach, kMaxReach));
    double left = qInf(), top = qInf(), right = -qInf(), bottom = -qInf();
    const auto add = [&](double x, double y) {
        // Saved samples may hold anything: the bounds stay finite and within an int.
        if (!std::isfinite(x) || !std::isfinite(y))
            return;
        left = qMin(left, x);
        right = qMax(right, x);
        top = qMin(top, y);
        bottom = qMax(bottom, y);
    };
    // A stroke paints its points (or its samples) only: its start and end
    // stay at the origin, and counting them would stretch its bounds across
    // the canvas.
    if (!isStroke()) {
        add(m_startPoint.x(), m_startPoint.y());
        add(m_endPoint.x(), m_endPoint.y());
    }
    for (const QPoint &point : m_points)
        add(point.x(), point.y());
    for (const PressurePoint &sample : m_pressurePoints)
        add(sample.x, sample.y);
    if (left > right)
        return QRectF();
    double reach = qMax(qMax(double(itemProperty.size), arrowHeadLength(itemProperty.lineWidth)),
                        scale() * KPItemStrokes::kHighlighterWidth);
    reach = qMax(reach, double(itemProperty.lineWidth));
    if (!m_pressurePoints.isEmpty())
        reach = qMax(reach, KPItemStrokes::pressureReach(*this));
    // Antialiasing reaches a pixel further; the cap keeps absurd sizes finite.
    const double pad = qMin(reach, kMaxReach) + 4.0;
    const auto bound = [](double value) { return qBound(-kMaxCoordinate, value, kMaxCoordinate); };
    return QRectF(QPointF(bound(left - pad), bound(top - pad)), QPointF(bound(right + pad), bound(bottom + pad)));
}

QRectF KPWhiteBoardItemObject::textRect() const
{
    return m_textItemData && m_textItemData->source() ? QRectF(m_textItemData->source()->textRect()) : QRectF();
}

bool KPWhiteBoardItemObject::meets(const QLineF &segment, double radius) const
{
    if (!m_visible || !m_initialized)
        return false;
    if (isText()) {
        const QRectF box = textRect();
        return !box.isEmpty() && KPHitTest::nearFilledRect(box, segment, radius);
    }
    if (isStroke())
        return KPItemStrokes::meets(*this, segment, radius);
    return KPItemShapes::meets(*this, segment, radius);
}

// ---- painting ------------------------------------------------------------

void KPWhiteBoardItemObject::paint(QPainter *painter, int flags)
{
    if (!m_visible || !painter)
        return;
    painter->save();
    painter->setBrush(Qt::NoBrush);
    const QColor color = KPUtilInterface::toQColor(itemProperty.color);
    // Width 1 keeps the pen every board painted with before widths existed.
    if (itemProperty.lineWidth > 1)
        painter->setPen(QPen(QBrush(color), itemProperty.lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    else
        painter->setPen(QPen(color));
    if (isText()) {
        paintText(painter, flags);
    } else if (isStroke()) {
        KPItemStrokes::paint(*this, painter);
    } else {
        const QPoint end =
            m_constrained ? KPItemShapes::constrainedEnd(itemProperty.type, m_startPoint, m_endPoint) : m_endPoint;
        KPItemShapes::paint(*this, painter, end);
    }
    painter->restore();
}

// The width is lent for one paint only; the board's lock keeps anyone else
// from seeing it.
void KPWhiteBoardItemObject::paintWidened(QPainter *painter, int flags, quint32 minimumWidth)
{
    const quint32 own = itemProperty.lineWidth;
    if (KPToolbox::drawsLines(itemProperty.type))
        itemProperty.lineWidth = qMax(own, minimumWidth);
    paint(painter, flags);
    itemProperty.lineWidth = own;
}

bool KPWhiteBoardItemObject::takeLookChange()
{
    const bool changed = m_lookChanged;
    m_lookChanged = false;
    return changed;
}

// A box that does not fit shrinks after each paint, so what the board shows
// is the box at the size it was last painted with. A paint that keeps the
// state (a full composition to compare with) paints it at that size again
// and leaves the size as it was.
void KPWhiteBoardItemObject::paintText(QPainter *painter, int flags)
{
    // Without a board there is no canvas to lay the text out on.
    if (!m_whiteBoardObject)
        return;
    KPTextItemData *text = textData();
    ft2_source *source = text->source();
    const bool keep = flags & PaintKeepBlink;
    if (!keep || !source || m_paintedFontSize == 0) {
        const quint32 before = source ? source->fontSize : 0;
        text->render(painter, m_whiteBoardObject->canvasFrame(), !keep);
        if (source && !keep) {
            m_paintedFontSize = before;
            m_lookChanged = source->fontSize != before;
        }
        return;
    }
    const quint32 size = source->fontSize;
    const bool resetPending = source->faceResetPending;
    if (size != m_paintedFontSize) {
        source->fontSize = m_paintedFontSize;
        source->faceResetPending = true;
    }
    text->render(painter, m_whiteBoardObject->canvasFrame(), false);
    if (source->fontSize != size || source->faceResetPending != resetPending) {
        source->fontSize = size;
        source->faceResetPending = true;
    }
}

void KPWhiteBoardItemObject::setFocus()
{
    if (isText())
        textData()->setFocus();
}

void KPWhiteBoardItemObject::clearFocus()
{
    if (isText())
        textData()->clearFocus();
}

void KPWhiteBoardItemObject::setStatusData(obs_data_t *status)
{
    if (isText())
        textData()->setStatusData(status);
}

void KPWhiteBoardItemObject::hide()
{
    m_visible = false;
}

void KPWhiteBoardItemObject::show()
{
    m_visible = true;
}

// ---- record --------------------------------------------------------------

obs_data_t *KPWhiteBoardItemObject::toData()
{
    obs_data_t *data = obs_data_create();
    obs_data_t *property = obs_data_create();
    KPUtilInterface::writeSettings(itemProperty, property);
    obs_data_set_obj(data, kItemPropertyKey, property);
    obs_data_release(property);
    if (isText() && m_textItemData) {
        obs_data_t *text = m_textItemData->toData();
        obs_data_set_obj(data, kTextDataKey, text);
        obs_data_release(text);
    }
    obs_data_set_int(data, kStartXKey, m_startPoint.x());
    obs_data_set_int(data, kStartYKey, m_startPoint.y());
    obs_data_set_int(data, kEndXKey, m_endPoint.x());
    obs_data_set_int(data, kEndYKey, m_endPoint.y());
    writePoints(data);
    return data;
}

void KPWhiteBoardItemObject::writePoints(obs_data_t *data) const
{
    obs_data_array_t *points = obs_data_array_create();
    for (const QPoint &point : m_points) {
        obs_data_t *element = obs_data_create();
        obs_data_set_int(element, kPointXKey, point.x());
        obs_data_set_int(element, kPointYKey, point.y());
        obs_data_array_push_back(points, element);
        obs_data_release(element);
    }
    obs_data_set_array(data, kPointsKey, points);
    obs_data_array_release(points);

    obs_data_array_t *samples = obs_data_array_create();
    for (const PressurePoint &sample : m_pressurePoints) {
        obs_data_t *element = obs_data_create();
        obs_data_set_double(element, kPressureXKey, sample.x);
        obs_data_set_double(element, kPressureYKey, sample.y);
        obs_data_set_double(element, kPressureValueKey, sample.pressure);
        obs_data_array_push_back(samples, element);
        obs_data_release(element);
    }
    obs_data_set_array(data, kPressureKey, samples);
    obs_data_array_release(samples);
}

void KPWhiteBoardItemObject::updateWithSettings(obs_data_t *data)
{
    KP_LOG_SCOPE();
    if (!data)
        return;
    obs_data_t *property = obs_data_get_obj(data, kItemPropertyKey);
    KPUtilInterface::updateWithSettings(itemProperty, property);
    obs_data_release(property);
    readCoordinate(data, kStartXKey, m_startPoint.rx());
    readCoordinate(data, kStartYKey, m_startPoint.ry());
    readCoordinate(data, kEndXKey, m_endPoint.rx());
    readCoordinate(data, kEndYKey, m_endPoint.ry());
    readPoints(data);
    readPressurePoints(data);
    if (isText()) {
        // A missing text record is logged by the text state, which stays empty.
        obs_data_t *text = obs_data_get_obj(data, kTextDataKey);
        textData()->updateWithSettings(text);
        obs_data_release(text);
    }
}

void KPWhiteBoardItemObject::readPoints(obs_data_t *data)
{
    if (!obs_data_has_user_value(data, kPointsKey))
        return;
    obs_data_array_t *points = obs_data_get_array(data, kPointsKey);
    const size_t count = obs_data_array_count(points);
    m_points.reserve(m_points.size() + int(qMin<size_t>(count, INT_MAX / 2)));
    for (size_t i = 0; i < count; ++i) {
        obs_data_t *element = obs_data_array_item(points, i);
        m_points.append(QPoint(static_cast<int>(obs_data_get_int(element, kPointXKey)),
                               static_cast<int>(obs_data_get_int(element, kPointYKey))));
        obs_data_release(element);
    }
    obs_data_array_release(points);
}

void KPWhiteBoardItemObject::readPressurePoints(obs_data_t *data)
{
    if (!obs_data_has_user_value(data, kPressureKey))
        return;
    KP_LOG(1, QStringLiteral("update pressure points."));
    obs_data_array_t *samples = obs_data_get_array(data, kPressureKey);
    const size_t count = obs_data_array_count(samples);
    m_pressurePoints.reserve(m_pressurePoints.size() + int(qMin<size_t>(count, INT_MAX / 2)));
    for (size_t i = 0; i < count; ++i) {
        obs_data_t *element = obs_data_array_item(samples, i);
        m_pressurePoints.append({obs_data_get_double(element, kPressureXKey),
                                 obs_data_get_double(element, kPressureYKey),
                                 obs_data_get_double(element, kPressureValueKey)});
        obs_data_release(element);
    }
    obs_data_array_release(samples);
}
