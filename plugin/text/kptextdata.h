#pragma once

// The editing side of a text box: keys, pointer, focus, status and the saved
// text record, acting on the box's ft2_source.

#include <QPoint>
#include <QTime>

#include <obs-data.h>
#include <obs-interaction.h>

class KPTextItemHost;
class QImage;
class QPainter;
class ft2_source;

class KPTextItemData
{
public:
    // Qt key codes as they arrive in obs_key_event::native_vkey.
    enum KeyCode : quint32 {
        KeyA = 0x41,
        KeyC = 0x43,
        KeyV = 0x56,
        KeyX = 0x58,
        KeyEscape = 0x01000000,
        KeyBackspace = 0x01000003,
        KeyReturn = 0x01000004,
        KeyEnter = 0x01000005,
        KeyLeft = 0x01000012,
        KeyUp = 0x01000013,
        KeyRight = 0x01000014,
        KeyDown = 0x01000015,
    };
    static constexpr int CursorBlinkMs = 600;
    // Far beyond any canvas, small enough that box and drag arithmetic cannot overflow.
    static constexpr int CoordinateLimit = 1000000;

    // A coordinate from the host or a saved record, bounded to the limit (logged when cut).
    static int boundedCoordinate(long long value, const char *what);
    static QPoint eventPoint(const obs_mouse_event *event);

    explicit KPTextItemData(KPTextItemHost *item);
    ~KPTextItemData();

    KPTextItemData(const KPTextItemData &) = delete;
    KPTextItemData &operator=(const KPTextItemData &) = delete;

    void setFocus();
    void clearFocus();
    void do_key_click(const obs_key_event *event, bool keyUp);
    void mouse_pressed(const obs_mouse_event *event, int button);
    void mouse_move(const obs_mouse_event *event);
    void mouse_released(const obs_mouse_event *event, int button);
    void updatePos(const QPoint &pos);
    void prepareUpdate();
    void setStatusData(obs_data_t *status);
    obs_data_t *toData() const;
    void updateWithSettings(obs_data_t *record);
    // Paints onto a canvas of the image's size; advancing the blink flips a
    // focused cursor when its time has come.
    void render(QPainter *painter, const QImage &canvas, bool advanceBlink = true);
    // True when a focused cursor is due to flip at the next render.
    bool blinkDue() const;

    bool editing() const { return m_editing; }
    bool dragging() const { return m_dragging; }
    ft2_source *source() const { return m_ft2Source; }

private:
    bool controlShortcut(quint32 key);
    void editKey(quint32 key, const QString &text);
    void pressLeft(const QPoint &pos);
    void finish();
    void blinkCursor();

    KPTextItemHost *m_whiteBoardItemObject = nullptr;
    ft2_source *m_ft2Source = nullptr;
    bool m_editing = false;
    QTime m_blinkTime = QTime(0, 0, 0, 0);
    // A left press that did not finish the box starts a drag selection; the
    // release ends it while the item stays clicked (and so painted).
    bool m_dragging = false;
};
