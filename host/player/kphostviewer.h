#pragma once

// kp-host's interactive window: libobs's output in a display that takes the
// pointer, keys and pen, a tool bar for the focused source (tool, colour,
// size, undo, redo, clear, hide handwriting, save, open) and a status line.

#include <QMainWindow>

#include <obs.h>

class KPHostDisplay;
class KPHostKeys;
class KPObsRuntime;
class QAction;
class QComboBox;
class QLabel;
class QSpinBox;
class QToolBar;
class QToolButton;

class KPHostViewer : public QMainWindow
{
    Q_OBJECT
public:
    explicit KPHostViewer(KPObsRuntime &runtime, QWidget *parent = nullptr);

    KPHostDisplay *display() const { return m_display; }
    QAction *undoAction() const { return m_undo; }
    KPHostKeys *keys() const { return m_keys; }
    // The tool bar's tool list, for checks against the property sheet.
    QComboBox *toolBox() const { return m_tool; }

    // The focused source's settings after a save, as `kp-host play` writes them.
    bool saveTo(const QString &path);
    // Replaces the focused source with one of the same type made from a saved file.
    bool openFrom(const QString &path);
    // Picks the focused source's tool (DRAW_ITEM_TYPE numbering).
    void setTool(int type);
    // Writes the window as shown on the screen to a PNG file.
    bool grab(const QString &path);

private:
    void buildToolBar();
    void addColourSwatches(QToolBar *bar);
    void applyTool();
    // Fills the tool list from the focused source's own list of tools, so
    // that the bar and the property sheet offer the same under one name.
    void listSourceTools();
    void showSourceTool();
    void showToolCursor(obs_source_t *source, int type);
    void showColour();
    void chooseColour();
    void sendCommand(int number);
    void toggleHandwriting(bool hide);
    void saveDialog();
    void openDialog();
    void refreshStatus();

    KPObsRuntime &m_runtime;
    KPHostDisplay *m_display;
    KPHostKeys *m_keys = nullptr;
    QByteArray m_toolsOf; // the source type the tool list was filled from
    QComboBox *m_tool = nullptr;
    QToolButton *m_colourButton = nullptr;
    QSpinBox *m_size = nullptr;
    QSpinBox *m_lineWidth = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_hide = nullptr;
    QLabel *m_status = nullptr;
    quint32 m_colour = 0xff0000ffu;
};
