#pragma once

#include "kpboardcompositor.h"
#include "kpboardscene.h"
#include "kpitemproperty.h"
#include "kppresentertools.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QPixmap>
#include <QSharedPointer>

#include <obs.h>

#include <atomic>

class KPWhiteBoardItemObject;
class QPainter;
class QUndoStack;

// One drawing board: a canvas of a given size and background on which draw
// items are made from pointer and tablet input, kept with their undo history,
// saved and restored. What the source shows is composed by the board's
// KPBoardCompositor, which the board tells what changed: an item finished,
// items hidden or shown again by the history, a clear, or everything.
//
// Threads: the host ticks and renders on its graphics thread and delivers
// settings, events and commands on others; m_mutex serialises them. Items run
// only inside that lock and call back into the board without locking. Fields
// that are written or read outside the lock are atomics. Where the graphics
// context and the lock are both needed, the graphics context is entered first,
// as the host does when it renders, so the two are always taken in one order.
class KPWhiteBoardObject
{
public:
    explicit KPWhiteBoardObject(obs_source_t *source);

    virtual ~KPWhiteBoardObject();
    // Writes the visible finished items under "kp_wb_data".
    virtual void save(obs_data_t *settings);
    // Appends the items saved under "kp_wb_data", with no undo step.
    virtual void load(obs_data_t *settings);
    virtual void focus(bool focused);
    // Only a text item being edited adds keys to the status record.
    virtual void setStatusData(obs_data_t *status);
    virtual void updateWithSettings(obs_data_t *settings);
    // Called with the host's graphics context entered.
    virtual void do_video_render(gs_effect_t *effect);
    virtual void do_mouse_click(const obs_mouse_event *event, int32_t type, bool mouseUp,
                                uint32_t clickCount);
    virtual void do_mouse_move(const obs_mouse_event *event, bool mouseLeave);
    // event is a QTabletEvent.
    virtual void do_tablet_event(void *event);
    virtual void do_mouse_wheel(const obs_mouse_event *event, int xDelta, int yDelta);
    virtual void do_key_click(const obs_key_event *event, bool keyUp);
    // 1 undo, 2 redo, 3 clear; other numbers do nothing. settings is not read.
    virtual void do_custom_callback(int command, obs_data_t *settings);

    void do_video_tick();
    // Advances the board's clock by a tick's seconds; the laser trail fades by it.
    void advanceClock(double seconds);
    // The source is hidden: the laser trail and the spotlight go.
    void hidePointers();
    void setActive(bool active);
    void setSize(uint32_t width, uint32_t height);
    void setHideHandwriting(bool hide);
    void setCurrentItemProperty(const KPWB::ItemProperty &property);
    void reset();

    // Undo history; each takes the lock.
    void do_undo();
    void do_redo();
    void do_clear();

    // For the items, called while the board holds its lock: none of these locks.
    void pushList();
    void appendToList(const QSharedPointer<KPWhiteBoardItemObject> &item);
    // The whole frame is composed again from the cache at the next tick.
    void requestRedraw() { m_compositor.requestFullFrame(); }
    // This rectangle of the frame is composed again at the next tick.
    void markDirty(const QRectF &rect);
    void ensurePressureLayer();
    double itemScale() const { return m_itemScale; }
    bool isShiftPressed() const { return m_shiftPressed; }

    // Lock-free reads, safe from any thread.
    obs_source_t *source() const { return m_source; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    quint32 background() const { return m_background; }
    bool hideHandwriting() const { return m_hideHandwriting; }

    // Snapshots taken under the lock (frames as straight RGBA); never call them from an item.
    QImage image() const;
    QPixmap pressureLayer() const;
    QSharedPointer<KPWhiteBoardItemObject> currentItem() const;
    QList<QSharedPointer<KPWhiteBoardItemObject>> items() const;
    int undoCount() const;
    int undoIndex() const;
    bool hasTexture() const;
    bool isActive() const;

    // What the ticks did so far: frames composed, cache rebuilds, uploads.
    quint64 composedFrames() const { return m_compositor.composedFrames(); }
    quint64 cacheRebuilds() const { return m_compositor.cacheRebuilds(); }
    quint64 uploads() const { return m_compositor.uploads(); }
    // The places in items() of the items the compositor's index holds.
    QVector<int> indexedItems() const;
    // Bytes of the compositor's index and of the layer the latest clear kept.
    qint64 indexBytes() const;
    qint64 keptLayerBytes() const;
    // The canvas a text box lays itself out over; for the items, under the lock.
    const QImage &canvasFrame() const { return m_compositor.frame(); }
    // Presenter tools drawn above the board; under no lock of the caller's.
    void addOverlay(KPBoardCompositor::Overlay *overlay);
    void removeOverlay(KPBoardCompositor::Overlay *overlay);
    // The frame composed from scratch, every item painted again, without
    // advancing a text cursor's blink: what the incremental frame must equal.
    QImage fullComposition();

    // The board's property entries; an image page leaves out size and background.
    static void addProperties(obs_properties_t *properties, bool imagePage);

    // Colour of a new board: opaque white (0xAABBGGRR).
    static constexpr quint32 kInitialBackground = 0xffffffffu;
    // Larger canvases are refused: no texture could hold them.
    static constexpr int kMaxCanvasSide = 16384;

protected:
    void updateCurrentItem(obs_data_t *settings);
    QSharedPointer<KPWhiteBoardItemObject> createCurrentItem(const KPWB::ItemProperty &property);
    // The old current item's tool, or the default tool.
    KPWB::ItemProperty currentTool() const;
    void replaceCurrentItem();

    obs_source_t *m_source;
    std::atomic<int> m_width{400};
    std::atomic<int> m_height{300};
    std::atomic<quint32> m_background{kInitialBackground};
    std::atomic<bool> m_hideHandwriting{false};
    std::atomic<bool> m_pendingItem{false};
    bool m_active = true;
    // Reactivation asks every pressure stroke into the new layer.
    bool m_pressureRepaintPending = false;
    QPixmap m_pressureLayer;
    QUndoStack *m_undoStack = nullptr;
    mutable QMutex m_mutex;
    QSharedPointer<KPWhiteBoardItemObject> m_currentData;
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_items;
    std::atomic<double> m_itemScale{1.0};
    bool m_shiftPressed = false;
    bool m_pressureLayerUsed = false;
    KPPresenterTools m_tools{this};

private:
    friend class KPWhiteBoardItemObject;
    friend class KPPresenterTools;
    friend class KPBoardScene;

    static bool isValidSide(long long side);
    QRect currentBounds() const;
    bool blinkDue() const;
    void paintLayers(QPainter *painter, int flags);
    // Items the eraser touched leave the frame at once; the drag's step is filed on release.
    void eraseItems(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items);
    void fileErase(const QList<QSharedPointer<KPWhiteBoardItemObject>> &items);
    void redrawPressureLayer();
    void repaintCurrentStroke();
    void repaintPressureStrokes();
    void fileCurrentItem();
    void reportUndoStep(int index, bool undone);

    KPBoardScene m_scene{this};
    KPBoardCompositor m_compositor{&m_scene};

    KPWhiteBoardObject(const KPWhiteBoardObject &) = delete;
    KPWhiteBoardObject &operator=(const KPWhiteBoardObject &) = delete;
};
