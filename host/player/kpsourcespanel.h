#pragma once

// The sources on the output, topmost first: add one of any registered type
// (by its display name), remove, rename, show and hide, reorder, step a
// slideshow through its pictures, and save or open the whole scene. The
// selected source is the display's focused source, so input, the tool bar
// and the property sheet follow the selection.

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
    void moveSelected(obs_order_movement movement);
    // Shows the slideshow's previous or next picture of its file list.
    void stepSlideshow(int delta);
    bool saveScene(const QString &path);
    bool openScene(const QString &path);

signals:
    void message(const QString &text);

private:
    obs_source_t *selected() const;
    void select(obs_source_t *source);
    void onItemChanged(QListWidgetItem *item);
    void onSelectionChanged();
    void buildButtons();
    QString uniqueName(const QString &base) const;

    KPObsRuntime &m_runtime;
    KPHostDisplay *m_display;
    QListWidget *m_list;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    bool m_refreshing = false;
};
