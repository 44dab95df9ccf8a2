#pragma once

// The sources on the output, topmost first: add one of any registered type
// (by its display name), remove, rename, show and hide, reorder, step a
// slideshow through its pictures, and start, save or open a whole scene. The
// selected source is the display's focused source, so input, the tool bar
// and the property sheet follow the selection. Any input in the window may
// change the scene: the panel counts it as an unsaved change, and asks to
// save before another scene replaces the open one.

#include <QWidget>

#include <obs.h>

class KPHostDisplay;
class KPObsRuntime;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class KPSourcesPanel : public QWidget
{
    Q_OBJECT
public:
    KPSourcesPanel(KPObsRuntime &runtime, KPHostDisplay *display, QWidget *parent = nullptr);

    // Builds the list again from the output's scene.
    void refresh();
    // Creates a source of that type id on top of the output and selects it.
    obs_source_t *addSource(const QString &type);
    void removeSelected();
    // Asks first when the source may hold drawings.
    void confirmRemove();
    void moveSelected(obs_order_movement movement);
    // Scales the source to fit the canvas, keeping its aspect, centred
    // (the item's bounds), whatever size each of its pictures has; kept in
    // the source's private settings, so a saved scene keeps it.
    void setFitToCanvas(obs_source_t *source, bool fit);
    static bool fitsToCanvas(obs_source_t *source);
    // Shows the slideshow's previous or next picture of its file list.
    void stepSlideshow(int delta);
    bool saveScene(const QString &path);
    // Replaces the open scene with the file's; when the file cannot be
    // opened the open scene stays as it was.
    bool openScene(const QString &path);
    // Empties the scene.
    void newScene();
    bool isModified() const { return m_modified; }
    void setModified(bool modified);
    // Offers to save unsaved changes; false when the presenter cancels.
    bool askToSave();
    // The Add menu's entries: type id and the name shown for it.
    QList<QPair<QString, QString>> addableTypes() const;

signals:
    void message(const QString &text);
    // The scene may have changed: a source, a setting or a drawing.
    void changed();
    // Another scene (or an empty one) replaced the open scene.
    void sceneReplaced();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    obs_source_t *selected() const;
    void select(obs_source_t *source);
    void onItemChanged(QListWidgetItem *item);
    void onSelectionChanged();
    void buildButtons();
    QString uniqueName(const QString &base) const;
    struct Kept;
    // Takes every source off the output, keeping what brings it back.
    QList<Kept> takeAll();
    void putBack(const QList<Kept> &kept);
    void applyFit(obs_sceneitem_t *item);
    void saveDialog();
    void openDialog();

    KPObsRuntime &m_runtime;
    KPHostDisplay *m_display;
    QListWidget *m_list;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_fit = nullptr;
    bool m_refreshing = false;
    bool m_modified = false;
};
