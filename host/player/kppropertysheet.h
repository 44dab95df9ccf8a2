#pragma once

// A source's property sheet as a form, built from its obs_properties: one
// field per property of whatever kind (KPPropertyField), labelled with the
// description, the long description as tool tip, hidden and disabled as the
// properties say. A change is applied at once with obs_source_update; when
// the property's modified callback asks for it the form is built again, and
// when a button asks for it the sheet is fetched again from the source.

#include <QWidget>

#include <obs.hpp>

#include <functional>

class QFormLayout;

class KPPropertySheet : public QWidget
{
    Q_OBJECT
public:
    explicit KPPropertySheet(QWidget *parent = nullptr);
    ~KPPropertySheet() override;

    // Shows the sheet of source (null: an empty sheet).
    void setSource(obs_source_t *source);
    obs_source_t *source() const { return m_source; }

    // Writes one change into a fresh record and applies it to the source.
    void apply(obs_property_t *property, const std::function<void(obs_data_t *)> &write);
    // Presses a button property as a host's sheet does.
    void press(obs_property_t *property);
    // The source's settings now, defaults included.
    OBSDataAutoRelease settings() const;
    // Shows settings changed elsewhere (the tool bar, a hotkey), unless the
    // user is editing a field of the sheet.
    void refreshIfChanged();

signals:
    // What the user should read in the status line (bad values, failures).
    void message(const QString &text);
    // A setting of the source was changed through the sheet.
    void changed();

private:
    void rebuild();
    void refetch();
    void scheduleRebuild();
    void addFields(obs_properties_t *properties, QFormLayout *form);
    void clearForm();

    OBSSource m_source;
    obs_properties_t *m_properties = nullptr;
    QWidget *m_form = nullptr;
    bool m_rebuildPending = false;
    QByteArray m_shown; // the settings the fields show, as JSON
};
