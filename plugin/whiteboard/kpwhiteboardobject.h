#pragma once

#include "kpboardcompositor.h"
#include "kpimageconverter.h"
#include "kpitemproperty.h"
#include "kptoolboard.h"
#include "kptoolbox.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QPixmap>
#include <QSharedPointer>
#include <QUndoStack>

#include <obs.h>

#include <atomic>

class KPWhiteBoardItemObject;
class QPainter;

// One drawing board: a canvas of a given size and background on which draw
// items are made from pointer and tablet input, kept with their undo history,
// saved and restored. What the source shows is composed by the board's
// KPBoardCompositor, which the board tells what changed: an item finished,
// items hidden or shown again by the history, a clear, or everything.
//
// Input goes to the board's KPToolbox, which hands it to the chosen tool;
// the tools reach the board only through the narrow KPToolBoard.
//
// Threads: the host ticks and renders on its graphics thread and delivers
// settings, events and commands on others; m_mutex serialises them, taken
// once per event. Tools and items run only inside that lock and never lock. Fields
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
    // Appends the items saved under "kp_wb_data", with no undo step. A record
    // beyond the bounds below is logged and loads nothing.
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

    // Files an item with an undo step, as a finished one; under the lock.
    void appendToList(const QSharedPointer<KPWhiteBoardItemObject> &item);
    // The whole frame is composed again from the cache at the next tick.
    void requestRedraw() { m_compositor.requestFullFrame(); }
    // For the compositor, under the lock: the pressure layer follows the canvas.
    void ensurePressureLayer();
    double itemScale() const { return m_itemScale; }
    bool isShiftPressed() const { return m_tools.shiftHeld(); }

    // Lock-free reads, safe from any thread.
    obs_source_t *source() const { return m_source; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    quint32 background() const { return m_background; }
    bool hideHandwriting() const { return m_hideHandwriting; }

    // Snapshots taken under the lock (frames as straight RGBA); never call them from an item.
    QImage image() const { QMutexLocker lock(&m_mutex); return KPImageConverter::converted(m_compositor.frame(), QImage::Format_RGBA8888); }
    QPixmap pressureLayer() const { QMutexLocker lock(&m_mutex); return m_pressureLayer; }
    QSharedPointer<KPWhiteBoardItemObject> currentItem() const { QMutexLocker lock(&m_mutex); return m_tools.current(); }
    QList<QSharedPointer<KPWhiteBoardItemObject>> items() const { QMutexLocker lock(&m_mutex); return m_items; }
    int undoCount() const { QMutexLocker lock(&m_mutex); return m_undoStack->count(); }
    int undoIndex() const { QMutexLocker lock(&m_mutex); return m_undoStack->index(); }
    bool hasTexture() const { QMutexLocker lock(&m_mutex); return m_compositor.hasTexture(); }
    bool isActive() const { QMutexLocker lock(&m_mutex); return m_active; }

    // What the ticks did so far: frames composed, cache rebuilds, uploads.
    quint64 composedFrames() const { return m_compositor.composedFrames(); }
    quint64 cacheRebuilds() const { return m_compositor.cacheRebuilds(); }
    quint64 uploads() const { return m_compositor.uploads(); }
    // The places in items() of the items the compositor's index holds.
    QVector<int> indexedItems() const { QMutexLocker lock(&m_mutex); return m_compositor.indexedItems(); }
    // Bytes of the compositor's index and of the layer the latest clear kept.
    qint64 indexBytes() const { QMutexLocker lock(&m_mutex); return m_compositor.indexBytes(); }
    qint64 keptLayerBytes() const { QMutexLocker lock(&m_mutex); return m_compositor.keptLayerBytes(); }
    // The canvas a text box lays itself out over; for the items, under the lock.
    const QImage &canvasFrame() const { return m_compositor.frame(); }
    // Presenter tools drawn above the board; under no lock of the caller's.
    void addOverlay(KPBoardCompositor::Overlay *overlay);
    void removeOverlay(KPBoardCompositor::Overlay *overlay);
    // The frame composed from scratch, every item painted again, without
    // advancing a text cursor's blink: what the incremental frame must equal.
    // A handout widens its lines to minimumLineWidth.
    QImage fullComposition(quint32 minimumLineWidth = 1);

    // The board's property entries; an image page leaves out size and background.
    static void addProperties(obs_properties_t *properties, bool imagePage);

    // Colour of a new board: opaque white (0xAABBGGRR).
    static constexpr quint32 kInitialBackground = 0xffffffffu;
    // Larger canvases are refused: no texture could hold them.
    static constexpr int kMaxCanvasSide = 16384;
    // A saved board holds at most this many items, and its items this many
    // points (pressure samples included) together: far beyond a presenter's
    // drawing, well short of a record that would stall the host loading it.
    static constexpr size_t kMaxSavedItems = 100000;
    static constexpr size_t kMaxSavedPoints = 5000000;
    // Why the saved content under "kp_wb_data" is refused, or empty when it is not.
    static QString savedContentProblem(obs_data_t *settings);

protected:
    void updateCurrentItem(obs_data_t *settings);
    QSharedPointer<KPWhiteBoardItemObject> createCurrentItem(const KPWB::ItemProperty &property);

    obs_source_t *m_source;
    std::atomic<int> m_width{400};
    std::atomic<int> m_height{300};
    std::atomic<quint32> m_background{kInitialBackground};
    std::atomic<bool> m_hideHandwriting{false};
    bool m_active = true;
    // Reactivation asks the tablet stroke being drawn into the new layer.
    bool m_pressureRepaintPending = false;
    // Only a tablet stroke being drawn lives here; finished ones are items.
    QPixmap m_pressureLayer;
    QUndoStack *m_undoStack = nullptr;
    mutable QMutex m_mutex;
    QList<QSharedPointer<KPWhiteBoardItemObject>> m_items;
    std::atomic<double> m_itemScale{1.0};
    bool m_pressureLayerUsed = false;

private:
    // What the compositor paints from. A member rather than a base class,
    // so that the board's own virtual operations keep their slots.
    class CompositorView final : public KPBoardCompositor::Scene
    {
    public:
        explicit CompositorView(KPWhiteBoardObject *board) : m_board(board) {}
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

    // What the tools may do to the board; a member for the same reason.
    class ToolView final : public KPToolBoard
    {
    public:
        explicit ToolView(KPWhiteBoardObject *board) : m_board(board) {}
        void commitItem(const Item &item) override;
        void hideItems(const QList<Item> &items) override;
        void fileErase(const QList<Item> &items) override;
        void markDirty(const QRectF &rect) override;
        void requestCompose() override;
        void requestFullFrame() override;
        double itemScale() const override;
        bool handwritingHidden() const override;
        const QList<Item> &finishedItems() const override;
        QPixmap *pressureLayer() override;
        Item createItem(const KPWB::ItemProperty &tool) override;

    private:
        KPWhiteBoardObject *m_board;
    };

    static bool isValidSide(long long side);
    void markDirty(const QRectF &rect);
    void paintLayers(QPainter *painter, int flags);
    void pushUndo(QUndoCommand *command);
    void fileFinishedItem();

    CompositorView m_view{this};
    KPBoardCompositor m_compositor{&m_view};
    ToolView m_toolView{this};
    KPToolbox m_tools{&m_toolView};

    KPWhiteBoardObject(const KPWhiteBoardObject &) = delete;
    KPWhiteBoardObject &operator=(const KPWhiteBoardObject &) = delete;
};
