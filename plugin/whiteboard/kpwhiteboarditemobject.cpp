#include "kpwhiteboarditemobject.h"

#include "kplog.h"
#include "kptextdata.h"
#include "kputilinterface.h"
#include "kpwhiteboardobject.h"

#include <QPainter>
#include <QTabletEvent>

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

const double kArrowHeadLength = 12.0;
const double kArrowHeadRatio = 0.5 * 1.67;
const double kArrowHeadAngle = 30.0;
const int kDotAlpha = 0x88;
const int kAlphaPenAlpha = 128;
const double kAlphaPenWidth = 10.0;

// Strokes up to this many points are stroked as one polyline. Qt's stroker
// and rasterizer slow down far more than linearly with the length of one
// path, so longer strokes are stroked in pieces of this size, each starting
// where the last ended.
const int kStrokePiece = 2048;

void drawPolyline(QPainter *painter, const QVector<QPoint> &points)
{
    for (int first = 0; first < points.size() - 1; first += kStrokePiece)
        painter->drawPolyline(points.constData() + first, qMin(kStrokePiece + 1, points.size() - first));
}

QRect strokeBounds(const QVector<QPoint> &points, int penWidth)
{
    QRect bounds;
    for (const QPoint &point : points)
        bounds |= QRect(point, QSize(1, 1));
    const int margin = penWidth + 2;
    return bounds.adjusted(-margin, -margin, margin, margin);
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
    : m_whiteBoardObject(board),
      itemProperty(property),
      m_brush(Qt::red, Qt::SolidPattern),
      m_pen(m_brush, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
{
}

KPWhiteBoardItemObject::~KPWhiteBoardItemObject()
{
    delete m_textItemData;
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

QVector<QLineF> KPWhiteBoardItemObject::arrowLines(const QLineF &shaft)
{
    QVector<QLineF> lines{shaft};
    const double length = shaft.length();
    // A shaft without length has no direction, so it gets no head.
    if (!(length > 0.0))
        return lines;
    const double head = qMin(kArrowHeadLength, length * kArrowHeadRatio);
    const QPointF tip = shaft.p2();
    const QLineF back(tip, shaft.pointAt(1.0 - head / length));
    QLineF left = back;
    left.setAngle(back.angle() + kArrowHeadAngle);
    QLineF right = back;
    right.setAngle(back.angle() - kArrowHeadAngle);
    lines << QLineF(left.p2(), tip) << QLineF(right.p2(), tip);
    return lines;
}

double KPWhiteBoardItemObject::pressurePenWidth(double pressure, double scale)
{
    return scale * (pressure * 3.0) + 1.0;
}

QRectF KPWhiteBoardItemObject::paintBounds() const
{
    // A stroke paints its points only: its start and end stay at the origin,
    // and counting them would stretch its bounds across the canvas.
    const bool stroke = isStroke();
    if (stroke && m_points.isEmpty())
        return QRectF();
    const QPoint start = stroke ? m_points.first() : m_startPoint;
    const QPoint end = stroke ? start : m_endPoint;
    double left = qMin(start.x(), end.x());
    double right = qMax(start.x(), end.x());
    double top = qMin(start.y(), end.y());
    double bottom = qMax(start.y(), end.y());
    for (const QPoint &point : m_points) {
        left = qMin<double>(left, point.x());
        right = qMax<double>(right, point.x());
        top = qMin<double>(top, point.y());
        bottom = qMax<double>(bottom, point.y());
    }
    const double scale = m_whiteBoardObject ? m_whiteBoardObject->itemScale() : 1.0;
    const double reach = qMax(qMax(double(itemProperty.size), kArrowHeadLength), scale * kAlphaPenWidth);
    // Antialiasing reaches a pixel further; the cap keeps absurd sizes finite.
    const double pad = qMin(reach, 1.0e6) + 4.0;
    return QRectF(QPointF(left - pad, top - pad), QPointF(right + pad, bottom + pad));
}

QPoint KPWhiteBoardItemObject::paintedEnd(bool square) const
{
    const bool constrained = m_whiteBoardObject && m_whiteBoardObject->isShiftPressed() &&
                             m_whiteBoardObject->m_currentData.data() == this;
    if (!constrained)
        return m_endPoint;
    return square ? squareEnd(m_startPoint, m_endPoint) : straightEnd(m_startPoint, m_endPoint);
}

// ---- painting ------------------------------------------------------------

void KPWhiteBoardItemObject::paint(QPainter *painter, int flags)
{
    if (!m_visible || !painter)
        return;
    painter->save();
    const QColor color = KPUtilInterface::toQColor(itemProperty.color);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(color));
    m_pen.setColor(color);

    switch (itemProperty.type) {
    case KPWB::DRAW_ITEM_TYPE_RECT: {
        const QRectF box = normalizedBox(m_startPoint, paintedEnd(true));
        painter->drawRects(&box, 1);
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_POINT: {
        QColor dot = color;
        dot.setAlpha(kDotAlpha);
        painter->setPen(QPen(dot));
        painter->setBrush(QBrush(dot, Qt::SolidPattern));
        const double radius = itemProperty.size * 0.5;
        const QPointF centre(m_startPoint);
        painter->drawEllipse(normalizedBox(centre - QPointF(radius, radius),
                                           centre + QPointF(radius, radius)));
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_ARROW: {
        const QLineF shaft(QPointF(m_startPoint), QPointF(paintedEnd(false)));
        for (const QLineF &line : arrowLines(shaft))
            painter->drawLines(&line, 1);
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_LINE: {
        const QLine line(m_startPoint, paintedEnd(false));
        painter->drawLines(&line, 1);
        break;
    }
    case KPWB::DRAW_ITEM_TYPE_ELLIPSE:
        painter->drawEllipse(normalizedBox(m_startPoint, paintedEnd(true)));
        break;
    case KPWB::DRAW_ITEM_TYPE_PEN:
        if (m_pressurePoints.isEmpty())
            drawPolyline(painter, m_points);
        else if (m_pressureRepaint)
            repaintPressureStroke();
        break;
    case KPWB::DRAW_ITEM_TYPE_TEXT:
        // Without a board there is no canvas to lay the text out on.
        if (m_whiteBoardObject)
            textData()->render(painter, m_whiteBoardObject->canvasFrame(), !(flags & PaintKeepBlink));
        break;
    case KPWB::Draw_ITEM_TYPE_PEN_ALPHA:
        paintStroke(painter);
        break;
    default:
        break;
    }
    painter->restore();
}

void KPWhiteBoardItemObject::paintStroke(QPainter *painter) const
{
    QColor color = KPUtilInterface::toQColor(itemProperty.color);
    color.setAlpha(kAlphaPenAlpha);
    QPen pen(color);
    const double scale = m_whiteBoardObject ? m_whiteBoardObject->itemScale() : 1.0;
    pen.setWidth(static_cast<int>(scale * kAlphaPenWidth));
    if (m_points.size() <= kStrokePiece) {
        painter->setPen(pen);
        drawPolyline(painter, m_points);
        return;
    }
    // Pieces of a translucent stroke would darken where they overlap: they
    // are stroked opaque into a layer, which is then laid on at the alpha.
    const QRect bounds = strokeBounds(m_points, pen.width())
                             .intersected(QRect(0, 0, painter->device()->width(), painter->device()->height()));
    if (bounds.isEmpty())
        return;
    QImage layer(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHints(painter->renderHints());
        layerPainter.translate(-bounds.topLeft());
        color.setAlpha(255);
        pen.setColor(color);
        layerPainter.setPen(pen);
        drawPolyline(&layerPainter, m_points);
    }
    painter->save();
    painter->setOpacity(kAlphaPenAlpha / 255.0);
    painter->drawImage(bounds.topLeft(), layer);
    painter->restore();
}

void KPWhiteBoardItemObject::setPressurePen(double pressure)
{
    m_pressureColor = KPUtilInterface::toQColor(itemProperty.color);
    m_pressureColor.setAlpha(255);
    const double scale = m_whiteBoardObject ? m_whiteBoardObject->itemScale() : 1.0;
    m_pen.setWidthF(pressurePenWidth(pressure, scale));
    m_pen.setColor(m_pressureColor);
}

// One segment from the last sample to this one, into the pressure layer.
void KPWhiteBoardItemObject::drawPressureSegment(QPainter *painter, const PressurePoint &sample)
{
    const QPointF position(sample.x, sample.y);
    setPressurePen(sample.pressure);
    painter->setPen(m_pen);
    painter->drawLine(QLineF(m_lastPressurePoint, position));
    const double reach = m_pen.widthF() / 2.0 + 2.0;
    m_whiteBoardObject->markDirty(
        normalizedBox(m_lastPressurePoint, position).adjusted(-reach, -reach, reach, reach));
    m_lastPressurePoint = position;
}

// Each segment takes its width from its far sample, as when drawn live, so
// the repaint matches the live stroke exactly. One painter serves the whole
// stroke: opening one per segment costs more than the segment itself.
void KPWhiteBoardItemObject::repaintPressureStroke()
{
    // Without a layer the request waits for the next composition.
    if (!m_whiteBoardObject || m_whiteBoardObject->m_pressureLayer.isNull())
        return;
    m_pressureRepaint = false;
    if (m_pressurePoints.size() < 2)
        return;
    QPainter painter(&m_whiteBoardObject->m_pressureLayer);
    painter.setRenderHint(QPainter::Antialiasing);
    m_lastPressurePoint = QPointF(m_pressurePoints.first().x, m_pressurePoints.first().y);
    for (int i = 1; i < m_pressurePoints.size(); ++i)
        drawPressureSegment(&painter, m_pressurePoints.at(i));
}

// ---- input ---------------------------------------------------------------

void KPWhiteBoardItemObject::do_tablet_event(QTabletEvent *event)
{
    if (!event || itemProperty.type != KPWB::DRAW_ITEM_TYPE_PEN || !m_whiteBoardObject)
        return;
    const PressurePoint sample{event->posF().x(), event->posF().y(), event->pressure()};
    switch (event->type()) {
    case QEvent::TabletPress:
        if (m_tabletPressed)
            break;
        m_tabletPressed = true;
        m_pressurePoints.append(sample);
        m_lastPressurePoint = event->posF();
        break;
    case QEvent::TabletMove:
        if (!m_tabletPressed)
            break;
        m_pressurePoints.append(sample);
        if (!m_whiteBoardObject->m_pressureLayer.isNull()) {
            QPainter painter(&m_whiteBoardObject->m_pressureLayer);
            painter.setRenderHint(QPainter::Antialiasing);
            drawPressureSegment(&painter, sample);
        } else {
            m_lastPressurePoint = QPointF(sample.x, sample.y);
        }
        break;
    case QEvent::TabletRelease:
        // A barrel button still held keeps the stroke going.
        if (!m_tabletPressed || event->buttons() != Qt::NoButton)
            break;
        m_tabletPressed = false;
        runPushListCallback();
        break;
    default:
        break;
    }
}

void KPWhiteBoardItemObject::mouse_click(const obs_mouse_event *event, int button, bool mouseUp,
                                         uint32_t clickCount)
{
    if (!event || clickCount != 1)
        return;
    if (mouseUp)
        mouse_released(event, button);
    else
        mouse_pressed(event, button);
}

void KPWhiteBoardItemObject::mouse_pressed(const obs_mouse_event *event, int button)
{
    if (!event)
        return;
    if (isText()) {
        textData()->mouse_pressed(event, button);
        return;
    }
    m_leftClicked = (button == MOUSE_LEFT);
    KP_LOG(2, QStringLiteral("m_leftClicked=%1")
                  .arg(QStringLiteral("(%1)").arg(m_leftClicked ? "T" : "F")));
    if (!m_leftClicked)
        return;
    // A left press starts the item afresh: movement of an earlier, abandoned
    // drag does not count for this one.
    m_moved = false;
    const QPoint position = KPTextItemData::eventPoint(event);
    if (isStroke()) {
        m_points.clear();
        m_points.append(position);
        return;
    }
    m_startPoint = m_endPoint = position;
    if (itemProperty.type == KPWB::DRAW_ITEM_TYPE_POINT)
        runPushListCallback();
}

void KPWhiteBoardItemObject::mouse_move(const obs_mouse_event *event, bool)
{
    if (!event)
        return;
    if (isText()) {
        textData()->mouse_move(event);
        return;
    }
    // No tool, a presenter tool (which the board handles) or an unknown
    // value: the drag makes no item and files no undo step.
    if (!KPWB::drawsItem(itemProperty.type)) {
        m_leftClicked = false;
        return;
    }
    if (!m_leftClicked)
        return;
    m_moved = true;
    const QPoint position = KPTextItemData::eventPoint(event);
    if (isStroke()) {
        // Once a tablet has delivered samples, the mouse no longer draws.
        if (m_pressurePoints.isEmpty())
            m_points.append(position);
        return;
    }
    m_endPoint = position;
}

void KPWhiteBoardItemObject::mouse_released(const obs_mouse_event *event, int button)
{
    if (!event)
        return;
    // A text box ends only its drag selection: it stays clicked, so that the
    // board keeps painting the box being edited, and it is finished by a
    // press outside it.
    if (isText()) {
        textData()->mouse_released(event, button);
        return;
    }
    if (!m_leftClicked)
        return;
    m_leftClicked = false;
    if (!m_moved)
        return;
    const QPoint position = KPTextItemData::eventPoint(event);
    if (isStroke()) {
        m_points.append(position);
    } else {
        m_endPoint = position;
        if (m_whiteBoardObject && m_whiteBoardObject->isShiftPressed()) {
            const int type = itemProperty.type;
            if (type == KPWB::DRAW_ITEM_TYPE_RECT || type == KPWB::DRAW_ITEM_TYPE_ELLIPSE)
                m_endPoint = squareEnd(m_startPoint, m_endPoint);
            else if (type == KPWB::DRAW_ITEM_TYPE_LINE || type == KPWB::DRAW_ITEM_TYPE_ARROW)
                m_endPoint = straightEnd(m_startPoint, m_endPoint);
        }
    }
    const QString finished = QStringLiteral("this->itemProperty.type=%1").arg(itemProperty.type);
    KP_LOG(2, finished);
    runPushListCallback();
    KP_LOG(2, finished);
}

void KPWhiteBoardItemObject::runPushListCallback()
{
    KP_LOG_SCOPE();
    m_initialized = true;
    if (m_whiteBoardObject)
        m_whiteBoardObject->pushList();
}

void KPWhiteBoardItemObject::do_key_click(const obs_key_event *event, bool keyUp)
{
    KP_LOG_SCOPE();
    if (isText())
        textData()->do_key_click(event, keyUp);
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
    if (!m_whiteBoardObject)
        return;
    m_whiteBoardObject->m_pressureLayerUsed = true;
    m_whiteBoardObject->ensurePressureLayer();
    m_pressureRepaint = true;
    repaintPressureStroke();
}
