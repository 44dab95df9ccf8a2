#pragma once

// The viewer as a small studio: a dock listing the sources (KPSourcesPanel)
// and a dock with the selected source's property sheet (KPPropertySheet),
// both following the display's focused source; their messages go to the
// window's status line.

#include <QObject>

class KPHostViewer;
class KPObsRuntime;
class KPPropertySheet;
class KPSourcesPanel;

class KPHostStudio : public QObject
{
    Q_OBJECT
public:
    KPHostStudio(KPHostViewer &viewer, KPObsRuntime &runtime);

    KPPropertySheet *sheet() const { return m_sheet; }
    KPSourcesPanel *sources() const { return m_sources; }

private:
    void followFocus();
    void showMessage(const QString &text);

    KPHostViewer &m_viewer;
    KPPropertySheet *m_sheet;
    KPSourcesPanel *m_sources;
};
