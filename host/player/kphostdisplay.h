#pragma once

// libobs's output shown in a native window through a libobs display, letterboxed
// to keep the canvas's aspect. Pointer, wheel, key, focus and tablet events
// reach the interactive source under the pointer in that source's own pixel
// coordinates, as a host's interaction window delivers them.

#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <graphics/vec3.h>
#include <obs.hpp>

class QTabletEvent;

class KPHostDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit KPHostDisplay(obs_scene_t *scene, QWidget *parent = nullptr);
    ~KPHostDisplay() override;

    // Drawn by libobs, not by Qt.
    QPaintEngine *paintEngine() const override { return nullptr; }

    // The source that receives keys and tool changes: the last one clicked,
    // at first the topmost interactive one.
    obs_source_t *focusedSource() const { return m_focused; }
    void setFocusedSource(obs_source_t *source);
    // Where the canvas lies in the widget (logical pixels).
    QRectF canvasRect() const;
    // The canvas size libobs renders.
    static QSize canvasSize();
    // Widget pixels per pixel of the source, as its scene item shows it.
    double sourceScale(obs_source_t *source) const;
    // The source under the pointer, null when the pointer is elsewhere.
    obs_source_t *hoveredSource() const { return m_hovered; }
    // True while the focused source has a text box being typed into, which
    // then takes every key.
    bool typingIntoSource() const;

signals:
    void focusedSourceChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void tabletEvent(QTabletEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The topmost visible interactive source under a widget point.
    obs_source_t *sourceAt(const QPointF &widgetPoint) const;
    vec3 toCanvas(const QPointF &widgetPoint) const;
    // A widget point in the source's own pixel coordinates.
    QPointF toSource(obs_source_t *source, const QPointF &widgetPoint) const;
    obs_mouse_event mouseEvent(obs_source_t *source, const QPointF &widgetPoint, Qt::KeyboardModifiers modifiers) const;
    void press(QMouseEvent *event, uint32_t clicks);
    void sendKey(QKeyEvent *event, bool up);
    // The hovered source gets its mouse-leave and is hovered no longer.
    void leave();
    void createDisplay();
    void destroyDisplay();
    void recreateDisplay();
    static void draw(void *data, uint32_t cx, uint32_t cy);

    obs_scene_t *m_scene;
    obs_display_t *m_display = nullptr;
    QTimer m_resizeTimer;
    OBSSource m_focused;
    OBSSource m_grabbed;
    OBSSource m_hovered;
};
