#pragma once

#include "kpboardindex.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRegion>
#include <QSharedPointer>

#include <obs.h>

#include <atomic>
#include <vector>

class KPWhiteBoardItemObject;
class QPainter;

// Turns a board's items into the frame its source shows. The finished,
// visible items are kept composed over the background in a cached layer;
// the board says what changed and the compositor repaints only that: an
// added item is painted over the layer, removed or restored items have the
// rectangles they cover recomposed from the background and the items an
// index finds there, and only a change of everything rebuilds the layer.
// A tick composes the frame from the layer, the board's live layers and the
// overlays within the changed rectangle, and uploads only the tiles of the
// frame that rectangle meets: the texture is cut into tiles of kTileSide,
// each its own texture, drawn side by side, and tiles with nothing on them
// are not drawn at all.
//
// Threads: every call runs under the board's lock, except the ones marked
// lock-free, which only set flags that the next tick reads. upload() and
// render() also need the graphics context.
class KPBoardCompositor
{
public:
    using Item = QSharedPointer<KPWhiteBoardItemObject>;

    // What the compositor paints from; the board answers, under its lock.
    class Scene
    {
    public:
        virtual QSize canvasSize() const = 0;
        virtual QColor backgroundColor() const = 0;
        // Hidden handwriting shows the background (and the overlays) only.
        virtual bool handwritingHidden() const = 0;
        // Every finished item, shown or not, in painting order; the list only
        // grows between two changes of everything.
        virtual const QList<Item> &finishedItems() const = 0;
        // Called before each composition: the live layers get ready for the canvas.
        virtual void prepareLiveLayers() = 0;
        // Where the item being drawn and the pressure layer paint now; empty when nothing shows.
        virtual QRect liveBounds() const = 0;
        // True while the item being drawn or a stroke in the pressure layer shows.
        virtual bool liveShowing() const = 0;
        virtual void paintLiveLayers(QPainter *painter, int flags) = 0;

    protected:
        ~Scene() = default;
    };

    // Something drawn above everything else (a pointer, a spotlight), even
    // while the handwriting is hidden. Its owner calls requestCompose() when
    // it moves (the old and the new bounds are composed again) or
    // requestFullFrame() when it changes beyond them.
    class Overlay
    {
    public:
        // True while it shows anything.
        virtual bool overlayShowing() const = 0;
        // Where it changes the frame from one move to the next; empty when it shows nothing.
        virtual QRect overlayBounds(const QSize &canvas) const = 0;
        virtual void paintOverlay(QPainter *painter, const QSize &canvas) = 0;

    protected:
        ~Overlay() = default;
    };

    explicit KPBoardCompositor(Scene *scene);
    ~KPBoardCompositor();
    KPBoardCompositor(const KPBoardCompositor &) = delete;
    KPBoardCompositor &operator=(const KPBoardCompositor &) = delete;

    // ---- what changed (lock-free) ----
    // Background, scale, load or reset: the layer and the index are rebuilt.
    void everythingChanged();
    // The whole frame is composed again from the layer.
    void requestFullFrame();
    void requestCompose() { m_needsCompose = true; }
    bool needsCompose() const { return m_needsCompose || m_stale; }

    // ---- what changed (under the board's lock) ----
    // A finished item, now the topmost of them.
    void itemAdded(const Item &item);
    // Items hidden or shown again (undo, redo, erasing): the union of their
    // bounds is recomposed at the next tick.
    void itemsChanged(const QList<Item> &items);
    // Every visible item was hidden at once: the layer they made is kept
    // (one, the latest) for clearUndone().
    void cleared(const QList<Item> &items);
    // The items of the last clear shown again: the kept layer comes back.
    void clearUndone(const QList<Item> &items);
    // This rectangle of the frame is composed again at the next tick.
    void markDirty(const QRect &rect);
    void addOverlay(Overlay *overlay);
    void removeOverlay(Overlay *overlay);

    // ---- a tick ----
    // Composes what changed; false when the frame is as it was.
    bool compose();
    // Sends the frame to the texture; with the graphics context entered.
    void upload();
    // Draws the texture; nothing while the board has nothing to show.
    void render(gs_effect_t *effect);
    // Drops the frame and the texture, keeping the layer (deactivation); graphics entered.
    void release();
    void destroyTexture();

    // The frame as composed; null while the board shows nothing.
    const QImage &frame() const { return m_frame; }
    bool hasTexture() const { return !m_tiles.empty(); }
    // The frame composed from scratch, every visible item painted again; its
    // lines at least minimumLineWidth wide.
    QImage fullComposition(int flags, quint32 minimumLineWidth = 1);
    // The items the index holds, in painting order (places in finishedItems()).
    QVector<int> indexedItems() const { return m_index.orders(); }
    // Bytes the index and the layer kept by the last clear take.
    qint64 indexBytes() const;
    qint64 keptLayerBytes() const { return m_keptLayer.sizeInBytes(); }

    quint64 composedFrames() const { return m_composedFrames; }
    quint64 cacheRebuilds() const { return m_cacheRebuilds; }
    quint64 uploads() const { return m_uploads; }

    // Items whose rectangles cover more of the canvas than this share
    // rebuild the layer: most items meet them, and a rebuild needs no clipping.
    static constexpr double kRebuildShare = 0.5;
    static constexpr int kTileSide = 256;

private:
    QRect boundsOf(const KPWhiteBoardItemObject &item) const;
    int orderOf(const Item &item) const;
    quint32 backgroundPixel() const;
    void fillBackground(QImage *image, const QRegion &region) const;
    bool cacheUsable() const;
    bool showsNothing() const;
    void dropLayers(bool keepCache);
    void rebuildIndex();
    void rebuildCache();
    void recomposeCache(const QRegion &region);
    void paintCached(QPainter *painter, const Item &item);
    QRect overlayBounds() const;
    void paintFrame(const QRect &changed, bool full);
    void dropKeptLayer();
    void createTiles();
    void uploadTile(int index);

    Scene *m_scene;
    std::atomic<bool> m_needsCompose{true};
    std::atomic<bool> m_stale{true};
    std::atomic<bool> m_fullFrame{true};
    QImage m_frame;
    QImage m_cache;
    // Parts of the layer still to be recomposed.
    QRegion m_cacheDirty;
    // Parts of the frame still to be composed.
    QRect m_dirty;
    QRect m_lastLiveBounds;
    QRect m_lastOverlayBounds;
    KPBoardIndex m_index;
    // Every finished item's place in the scene's list, shown or not.
    QHash<const KPWhiteBoardItemObject *, int> m_orders;
    // The layer, index and pending parts the latest clear replaced.
    QImage m_keptLayer;
    KPBoardIndex m_keptIndex;
    QRegion m_keptDirty;
    bool m_hasKept = false;
    QList<Overlay *> m_overlays;
    struct Tile
    {
        QRect rect;
        gs_texture_t *texture;
        // Fully transparent: not drawn.
        bool blank;
    };
    std::vector<Tile> m_tiles;
    // Parts of the frame composed since the last upload.
    QRect m_unsent;
    bool m_drawsNothing = true;
    std::atomic<quint64> m_composedFrames{0};
    std::atomic<quint64> m_cacheRebuilds{0};
    std::atomic<quint64> m_uploads{0};
};
