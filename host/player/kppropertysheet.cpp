#include "kppropertysheet.h"

#include "kppropertyfield.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A host calls every modified callback once when it shows the sheet, so
// that fields depending on others start hidden or disabled as they should.
void prime(obs_properties_t *properties, obs_data_t *settings)
{
    for (obs_property_t *p = obs_properties_first(properties); p; obs_property_next(&p)) {
        obs_property_modified(p, settings);
        if (obs_property_get_type(p) == OBS_PROPERTY_GROUP)
            prime(obs_property_group_content(p), settings);
    }
}

bool hasOwnLabel(obs_property_t *property)
{
    const obs_property_type type = obs_property_get_type(property);
    return type == OBS_PROPERTY_BOOL || type == OBS_PROPERTY_BUTTON
           || (type == OBS_PROPERTY_TEXT && obs_property_text_type(property) == OBS_TEXT_INFO);
}

} // namespace

KPPropertySheet::KPPropertySheet(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addStretch(1);
}

KPPropertySheet::~KPPropertySheet()
{
    obs_properties_destroy(m_properties);
}

void KPPropertySheet::setSource(obs_source_t *source)
{
    m_source = source;
    refetch();
}

OBSDataAutoRelease KPPropertySheet::settings() const
{
    return m_source ? obs_source_get_settings(m_source) : obs_data_create();
}

void KPPropertySheet::refetch()
{
    clearForm();
    obs_properties_destroy(m_properties);
    m_properties = m_source ? obs_source_properties(m_source) : nullptr;
    if (m_properties) {
        OBSDataAutoRelease current = settings();
        prime(m_properties, current);
    }
    rebuild();
}

void KPPropertySheet::refreshIfChanged()
{
    if (!m_source || m_rebuildPending)
        return;
    OBSDataAutoRelease current = settings();
    if (obs_data_get_json(current) != m_shown && !isAncestorOf(QApplication::focusWidget()))
        refetch();
}

void KPPropertySheet::clearForm()
{
    delete m_form;
    m_form = nullptr;
}

void KPPropertySheet::rebuild()
{
    clearForm();
    m_form = new QWidget(this);
    auto *form = new QFormLayout(m_form);
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    // Each field under its label, at the dock's whole width: long labels
    // and paths fit without widening the dock.
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    if (!m_properties)
        form->addRow(new QLabel(m_source ? tr("No settings") : tr("No source selected"), m_form));
    else
        addFields(m_properties, form);
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, m_form);
}

void KPPropertySheet::addFields(obs_properties_t *properties, QFormLayout *form)
{
    OBSDataAutoRelease current = settings();
    m_shown = obs_data_get_json(current);
    for (obs_property_t *p = obs_properties_first(properties); p; obs_property_next(&p)) {
        if (!obs_property_visible(p))
            continue;
        const QString description = QString::fromUtf8(obs_property_description(p));
        QWidget *field = nullptr;
        if (obs_property_get_type(p) == OBS_PROPERTY_GROUP) {
            auto *box = new QGroupBox(description);
            box->setObjectName(QString::fromUtf8(obs_property_name(p)));
            if (obs_property_group_type(p) == OBS_GROUP_CHECKABLE) {
                box->setCheckable(true);
                box->setChecked(obs_data_get_bool(current, obs_property_name(p)));
                const QByteArray name = obs_property_name(p);
                connect(box, &QGroupBox::toggled, this, [this, p, name](bool on) {
                    apply(p, [&](obs_data_t *change) { obs_data_set_bool(change, name.constData(), on); });
                });
            }
            addFields(obs_property_group_content(p), new QFormLayout(box));
            field = box;
        } else {
            field = KPPropertyField::create(p, current, this);
        }
        field->setEnabled(obs_property_enabled(p));
        field->setToolTip(QString::fromUtf8(obs_property_long_description(p)));
        if (hasOwnLabel(p) || obs_property_get_type(p) == OBS_PROPERTY_GROUP)
            form->addRow(field);
        else
            form->addRow(description, field);
    }
}

void KPPropertySheet::apply(obs_property_t *property, const std::function<void(obs_data_t *)> &write)
{
    if (!m_source)
        return;
    OBSDataAutoRelease change = obs_data_create();
    write(change);
    obs_source_update(m_source, change);
    OBSDataAutoRelease current = settings();
    m_shown = obs_data_get_json(current);
    if (obs_property_modified(property, current))
        scheduleRebuild();
    emit changed();
}

void KPPropertySheet::press(obs_property_t *property)
{
    // The sheet the button belongs to may be fetched again: only later.
    if (m_source && obs_property_button_clicked(property, m_source))
        QTimer::singleShot(0, this, &KPPropertySheet::refetch);
    emit changed();
}

// The field that reported the change is still in its signal: the form is
// rebuilt once control is back in the event loop.
void KPPropertySheet::scheduleRebuild()
{
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        m_rebuildPending = false;
        rebuild();
    });
}
