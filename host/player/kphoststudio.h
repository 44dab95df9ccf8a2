#pragma once

// The viewer as a small studio: a dock listing the sources (KPSourcesPanel)
// and a dock with the selected source's property sheet (KPPropertySheet),
// both following the display's focused source; their messages go to the
// window's status line. Its live controls (KPHostLiveControls) go live into
// the scene's room and stop before the window closes.

#include <QObject>

class KPHostLiveControls;
class KPHostRecovery;
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
    KPHostLiveControls *live() const { return m_live; }

    // Keeps the recovery copy up to date with the scene, after offering to
    // reopen what an unclean exit left.
    void recover(KPHostRecovery &recovery);
    // Restores the window's and the docks' sizes from the user's settings
    // and stores them again when the application quits.
    void rememberLayout();
    // Closing the window offers to save unsaved changes first.
    void askBeforeClosing();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followFocus();
    void showMessage(const QString &text);
    void followNewScene();

    KPHostViewer &m_viewer;
    KPPropertySheet *m_sheet;
    KPSourcesPanel *m_sources;
    KPHostLiveControls *m_live;
    bool m_askBeforeClosing = false;
};
