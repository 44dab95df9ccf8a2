#include "kpboardcompositor.h"

#include "kpwhiteboarditemobject.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

// Premultiplied, Qt's own format: painting stores no conversion, so an item
// painted within a clip gives the very bytes it gives unclipped. A straight
// format rounds its pixels through premultiplication on every store, and its
// vector and scalar conversions round differently wherever a clip cuts a span.
constexpr QImage::Format kFormat = QImage::Format_ARGB32_Premultiplied;

void prepare(QPainter *painter)
{
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
}

qint64 areaOf(const QRegion &region)
{
    qint64 area = 0;
    for (const QRect &rect : region)
        area += qint64(rect.width()) * rect.height();
    return area;
}

} // namespace

KPBoardCompositor::KPBoardCompositor(Scene *scene) : m_scene(scene) {}

// The texture goes with destroyTexture(), which the owner calls inside the graphics context.
KPBoardCompositor::~KPBoardCompositor() = default;

// ---- what changed ------------------------------------------------------------

void KPBoardCompositor::everythingChanged()
{
    m_stale = true;
    m_needsCompose = true;
}

void KPBoardCompositor::requestFullFrame()
{
    m_fullFrame = true;
    m_needsCompose = true;
}

void KPBoardCompositor::markDirty(const QRect &rect)
{
    m_dirty |= rect & QRect(QPoint(0, 0), m_scene->canvasSize());
    m_needsCompose = true;
}

// Text boxes lay themselves out over the whole canvas.
QRect KPBoardCompositor::boundsOf(const KPWhiteBoardItemObject &item) const
{
    return item.paintBounds().toAlignedRect() & QRect(QPoint(0, 0), m_scene->canvasSize());
}

// Items are appended and then reported, so the search from the end is short.
int KPBoardCompositor::orderOf(const Item &item) const
{
    const auto known = m_orders.constFind(item.data());
    if (known != m_orders.constEnd())
        return known.value();
    const QList<Item> &items = m_scene->finishedItems();
    for (int i = items.size() - 1; i >= 0; --i) {
        if (items.at(i) == item)
            return i;
    }
    return -1;
}

// Painting needs the frame too: a text box lays itself out over it.
bool KPBoardCompositor::cacheUsable() const
{
    return !m_stale && !m_cache.isNull() && !m_frame.isNull() && m_cache.size() == m_scene->canvasSize();
}

void KPBoardCompositor::itemAdded(const Item &item)
{
    if (m_stale || !item)
        return;
    const int order = orderOf(item);
    if (order < 0) {
        everythingChanged();
        return;
    }
    m_orders.insert(item.data(), order);
    if (!item->visible())
        return;
    const QRect bounds = boundsOf(*item);
    m_index.insert(order, bounds);
    // The topmost finished item: painted over the layer it gives what a
    // rebuild would, and the live layers stay above it.
    if (cacheUsable()) {
        QPainter painter(&m_cache);
        prepare(&painter);
        paintCached(&painter, item);
    } else if (!m_cache.isNull()) {
        m_cacheDirty += bounds;
    }
    markDirty(bounds);
}

void KPBoardCompositor::itemsChanged(const QList<Item> &items)
{
    if (m_stale)
        return;
    QRegion region;
    for (const Item &item : items) {
        const int order = item ? m_orders.value(item.data(), -1) : -1;
        if (order < 0) {
            everythingChanged();
            return;
        }
        const QRect bounds = boundsOf(*item);
        if (item->visible())
            m_index.insert(order, bounds);
        else
            m_index.remove(order);
        region += bounds;
    }
    if (!m_cache.isNull())
        m_cacheDirty += region;
    markDirty(region.boundingRect());
}

// Every visible item went, so the index empties and the layer is the
// background: the old ones are kept as they are for an undo.
void KPBoardCompositor::cleared(const QList<Item> &items)
{
    if (m_stale)
        return;
    // The layer an earlier clear kept becomes the new background layer.
    QImage spare = m_keptLayer;
    dropKeptLayer();
    if (m_cache.isNull() || m_index.count() != items.size()) {
        itemsChanged(items);
        return;
    }
    if (spare.size() != m_cache.size())
        spare = QImage(m_cache.size(), kFormat);
    if (!spare.isNull())
        spare.fill(m_scene->backgroundColor());
    m_keptLayer = m_cache;
    m_keptIndex = m_index;
    m_keptDirty = m_cacheDirty;
    m_hasKept = true;
    m_index.reset(m_index.canvas());
    m_cache = spare;
    m_cacheDirty = QRegion();
    requestFullFrame();
}

// The history is linear: the clear being undone is the latest one exactly
// when its kept index is still here, and the board is as the clear left it.
void KPBoardCompositor::clearUndone(const QList<Item> &items)
{
    if (m_stale)
        return;
    const bool restorable = m_hasKept && m_index.count() == 0 && m_keptIndex.count() == items.size() &&
                            m_keptLayer.size() == m_scene->canvasSize() &&
                            m_keptIndex.canvas() == m_index.canvas();
    if (!restorable) {
        dropKeptLayer();
        itemsChanged(items);
        return;
    }
    m_index = m_keptIndex;
    m_cache = m_keptLayer;
    m_cacheDirty = m_keptDirty;
    dropKeptLayer();
    requestFullFrame();
}

void KPBoardCompositor::dropKeptLayer()
{
    m_keptLayer = QImage();
    m_keptIndex = KPBoardIndex();
    m_keptDirty = QRegion();
    m_hasKept = false;
}

// The item places count too: a hash node of a key, a value and a link, and a bucket each.
qint64 KPBoardCompositor::indexBytes() const
{
    const qint64 places = qint64(m_orders.size()) * qint64(3 * sizeof(void *)) + qint64(m_orders.capacity()) * qint64(sizeof(void *));
    return m_index.memoryBytes() + m_keptIndex.memoryBytes() + places;
}

void KPBoardCompositor::addOverlay(Overlay *overlay)
{
    if (overlay && !m_overlays.contains(overlay))
        m_overlays.append(overlay);
    requestFullFrame();
}

void KPBoardCompositor::removeOverlay(Overlay *overlay)
{
    m_overlays.removeAll(overlay);
    requestFullFrame();
}

QRect KPBoardCompositor::overlayBounds() const
{
    const QSize canvas = m_scene->canvasSize();
    QRect bounds;
    for (const Overlay *overlay : m_overlays)
        bounds |= overlay->overlayBounds(canvas);
    return bounds & QRect(QPoint(0, 0), canvas);
}

// ---- a tick ------------------------------------------------------------------

// A picture page's board is transparent: with nothing on it, it holds no
// images and draws nothing, so the picture alone is what costs.
bool KPBoardCompositor::showsNothing() const
{
    if (m_scene->backgroundColor().alpha() != 0)
        return false;
    for (const Overlay *overlay : m_overlays) {
        if (overlay->overlayShowing())
            return false;
    }
    return m_scene->handwritingHidden() || (m_index.count() == 0 && !m_scene->liveShowing());
}

void KPBoardCompositor::dropLayers(bool keepCache)
{
    m_frame = QImage();
    if (!keepCache) {
        m_cache = QImage();
        m_cacheDirty = QRegion();
    }
    m_dirty = QRect();
    m_unsent = QRect();
    m_lastLiveBounds = QRect();
    m_lastOverlayBounds = QRect();
}

bool KPBoardCompositor::compose()
{
    m_needsCompose = false;
    const QSize canvas = m_scene->canvasSize();
    if (canvas.isEmpty())
        return false;
    bool rebuild = false;
    if (m_stale.exchange(false) || m_index.canvas() != canvas) {
        rebuildIndex();
        rebuild = true;
    }
    m_scene->prepareLiveLayers();
    if (showsNothing()) {
        const bool had = !m_frame.isNull() || !m_tiles.empty();
        dropLayers(m_index.count() > 0 && !rebuild);
        m_drawsNothing = true;
        return had;
    }
    m_drawsNothing = false;
    bool full = m_fullFrame.exchange(false);
    if (m_frame.size() != canvas) {
        m_frame = QImage(canvas, kFormat);
        if (m_frame.isNull()) {
            // Out of memory for now; tried again at the next tick.
            m_needsCompose = true;
            return false;
        }
        full = true;
    }
    if (rebuild || m_cache.size() != canvas) {
        rebuildCache();
        full = true;
    } else if (!m_cacheDirty.isEmpty()) {
        // The frame follows the layer where it was recomposed.
        m_dirty |= m_cacheDirty.boundingRect() & QRect(QPoint(0, 0), canvas);
        recomposeCache(m_cacheDirty);
    }
    const QRect frame = m_frame.rect();
    const QRect live = m_scene->liveBounds() & frame;
    const QRect overlays = overlayBounds();
    const QRect changed = full ? frame : (m_dirty | m_lastLiveBounds | live | m_lastOverlayBounds | overlays) & frame;
    m_dirty = QRect();
    m_lastLiveBounds = live;
    m_lastOverlayBounds = overlays;
    if (changed.isEmpty())
        return false;
    paintFrame(changed, full);
    m_unsent |= changed;
    ++m_composedFrames;
    return true;
}

void KPBoardCompositor::rebuildIndex()
{
    m_index.reset(m_scene->canvasSize());
    m_orders.clear();
    dropKeptLayer();
    m_cacheDirty = QRegion();
    const QList<Item> &items = m_scene->finishedItems();
    m_orders.reserve(items.size());
    for (int i = 0; i < items.size(); ++i) {
        const KPWhiteBoardItemObject *item = items.at(i).data();
        m_orders.insert(item, i);
        if (item->visible())
            m_index.insert(i, boundsOf(*item));
    }
}

// The background as the frame stores it, converted once.
quint32 KPBoardCompositor::backgroundPixel() const
{
    QImage pixel(1, 1, kFormat);
    pixel.fill(m_scene->backgroundColor());
    quint32 value;
    std::memcpy(&value, pixel.constBits(), sizeof(value));
    return value;
}

// Written pixel by pixel, as QImage::fill does: a painter would round a
// translucent background through premultiplied alpha.
void KPBoardCompositor::fillBackground(QImage *image, const QRegion &region) const
{
    const quint32 value = backgroundPixel();
    for (const QRect &rect : region & image->rect()) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            auto *line = reinterpret_cast<quint32 *>(image->scanLine(y)) + rect.left();
            std::fill(line, line + rect.width(), value);
        }
    }
}

void KPBoardCompositor::rebuildCache()
{
    if (m_cache.size() != m_frame.size())
        m_cache = QImage(m_frame.size(), kFormat);
    m_cacheDirty = QRegion();
    ++m_cacheRebuilds;
    if (m_cache.isNull())
        return;
    m_cache.fill(m_scene->backgroundColor());
    QPainter painter(&m_cache);
    prepare(&painter);
    for (const Item &item : m_scene->finishedItems())
        paintCached(&painter, item);
}

// An item that looks different after its paint (a text box shrinking to fit)
// is recomposed at the next tick, so the layer never holds it at two sizes.
void KPBoardCompositor::paintCached(QPainter *painter, const Item &item)
{
    item->paint(painter, 0);
    if (item->takeLookChange()) {
        m_cacheDirty += boundsOf(*item);
        m_needsCompose = true;
    }
}

// Only the items meeting the region are painted again, clipped to it, over
// the background written into it.
void KPBoardCompositor::recomposeCache(const QRegion &region)
{
    const QRegion clipped = region & m_cache.rect();
    m_cacheDirty = QRegion();
    if (clipped.isEmpty())
        return;
    if (areaOf(clipped) > kRebuildShare * m_cache.width() * m_cache.height()) {
        rebuildCache();
        return;
    }
    fillBackground(&m_cache, clipped);
    QPainter painter(&m_cache);
    prepare(&painter);
    painter.setClipRegion(clipped);
    const QList<Item> &items = m_scene->finishedItems();
    for (const int order : m_index.itemsMeeting(clipped))
        paintCached(&painter, items.at(order));
}

void KPBoardCompositor::paintFrame(const QRect &changed, bool full)
{
    if (m_scene->handwritingHidden()) {
        fillBackground(&m_frame, changed);
    } else {
        const int rowBytes = changed.width() * 4;
        for (int y = changed.top(); y <= changed.bottom(); ++y)
            std::memcpy(m_frame.scanLine(y) + changed.left() * 4, m_cache.constScanLine(y) + changed.left() * 4,
                        static_cast<size_t>(rowBytes));
    }
    QPainter painter(&m_frame);
    prepare(&painter);
    if (!full)
        painter.setClipRect(changed);
    m_scene->paintLiveLayers(&painter, 0);
    for (Overlay *overlay : qAsConst(m_overlays))
        overlay->paintOverlay(&painter, m_frame.size());
}

QImage KPBoardCompositor::fullComposition(int flags, quint32 minimumLineWidth)
{
    QImage frame(m_scene->canvasSize(), kFormat);
    if (frame.isNull())
        return frame;
    frame.fill(m_scene->backgroundColor());
    if (!m_scene->handwritingHidden()) {
        QPainter items(&frame);
        prepare(&items);
        for (const Item &item : m_scene->finishedItems())
            item->paintWidened(&items, flags, minimumLineWidth);
    }
    // The layers above the items in a painter of their own, as a tick paints them.
    QPainter painter(&frame);
    prepare(&painter);
    m_scene->paintLiveLayers(&painter, flags);
    for (Overlay *overlay : qAsConst(m_overlays))
        overlay->paintOverlay(&painter, frame.size());
    return frame;
}

// Without a graphics context (libobs running without video) there is nothing
// to upload to; the composed frame is all there is.
void KPBoardCompositor::upload()
{
    if (!gs_get_context())
        return;
    if (m_frame.isNull()) {
        destroyTexture();
        return;
    }
    if (m_tiles.empty() || m_tiles.back().rect.bottomRight() != m_frame.rect().bottomRight()) {
        destroyTexture();
        createTiles();
        m_unsent = m_frame.rect();
    }
    for (int i = 0; i < int(m_tiles.size()); ++i) {
        if (m_tiles.at(i).rect.intersects(m_unsent))
            uploadTile(i);
    }
    m_unsent = QRect();
    ++m_uploads;
}

void KPBoardCompositor::createTiles()
{
    for (int y = 0; y < m_frame.height(); y += kTileSide) {
        for (int x = 0; x < m_frame.width(); x += kTileSide) {
            const QRect rect = QRect(x, y, kTileSide, kTileSide) & m_frame.rect();
            gs_texture_t *texture = gs_texture_create(static_cast<uint32_t>(rect.width()),
                                                      static_cast<uint32_t>(rect.height()), GS_BGRA, 1, nullptr,
                                                      GS_DYNAMIC);
            m_tiles.push_back({rect, texture, true});
        }
    }
}

// The tile's rows are read straight from the frame: the texture takes as many
// bytes of each line as its own lines hold.
void KPBoardCompositor::uploadTile(int index)
{
    Tile &tile = m_tiles[index];
    if (!tile.texture)
        return;
    const uchar *origin = m_frame.constScanLine(tile.rect.top()) + tile.rect.left() * 4;
    gs_texture_set_image(tile.texture, origin, static_cast<uint32_t>(m_frame.bytesPerLine()), false);
    tile.blank = true;
    for (int y = 0; y < tile.rect.height() && tile.blank; ++y) {
        const auto *line = reinterpret_cast<const quint32 *>(origin + y * m_frame.bytesPerLine());
        tile.blank = std::all_of(line, line + tile.rect.width(), [](quint32 pixel) { return pixel == 0; });
    }
}

void KPBoardCompositor::destroyTexture()
{
    if (gs_get_context()) {
        for (const Tile &tile : qAsConst(m_tiles)) {
            if (tile.texture)
                gs_texture_destroy(tile.texture);
        }
    }
    m_tiles.clear();
}

void KPBoardCompositor::render(gs_effect_t *effect)
{
    if (m_tiles.empty() || m_frame.isNull() || m_drawsNothing)
        return;
    gs_eparam_t *image = effect ? gs_effect_get_param_by_name(effect, "image") : nullptr;
    // The frame is premultiplied.
    gs_blend_state_push();
    gs_blend_function_separate(GS_BLEND_ONE, GS_BLEND_INVSRCALPHA, GS_BLEND_ONE, GS_BLEND_INVSRCALPHA);
    for (const Tile &tile : qAsConst(m_tiles)) {
        if (tile.blank || !tile.texture)
            continue;
        gs_matrix_push();
        gs_matrix_translate3f(float(tile.rect.left()), float(tile.rect.top()), 0.0f);
        if (image)
            gs_effect_set_texture(image, tile.texture);
        gs_draw_sprite(tile.texture, 0, static_cast<uint32_t>(tile.rect.width()),
                       static_cast<uint32_t>(tile.rect.height()));
        gs_matrix_pop();
    }
    gs_blend_state_pop();
}

void KPBoardCompositor::release()
{
    dropLayers(true);
    destroyTexture();
    requestFullFrame();
}
