#include "kphostroomdialog.h"

#include "kpscenefile.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

KPHostRoomDialog::KPHostRoomDialog(obs_data_t *room, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Room"));
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    OBSDataAutoRelease shown = obs_output_defaults(KPSceneFile::roomOutputType());
    if (!shown)
        shown = obs_data_create();
    obs_data_apply(shown, room);
    obs_properties_t *properties = obs_get_output_properties(KPSceneFile::roomOutputType());
    for (obs_property_t *property = obs_properties_first(properties); property; obs_property_next(&property))
        addField(property, shown, form);
    obs_properties_destroy(properties);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(480, sizeHint().height());
}

// The output has text, whole numbers and lists of texts; other kinds are not offered.
void KPHostRoomDialog::addField(obs_property_t *property, obs_data_t *shown, QFormLayout *form)
{
    const char *name = obs_property_name(property);
    QWidget *field = nullptr;
    if (obs_property_get_type(property) == OBS_PROPERTY_TEXT) {
        auto *line = new QLineEdit(QString::fromUtf8(obs_data_get_string(shown, name)));
        if (obs_property_text_type(property) == OBS_TEXT_PASSWORD)
            line->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        field = line;
    } else if (obs_property_get_type(property) == OBS_PROPERTY_INT) {
        auto *box = new QSpinBox;
        box->setRange(obs_property_int_min(property), obs_property_int_max(property));
        box->setSingleStep(qMax(1, obs_property_int_step(property)));
        if (box->minimum() == 0)
            box->setSpecialValueText(tr("automatic"));
        box->setValue(int(qBound<long long>(box->minimum(), obs_data_get_int(shown, name), box->maximum())));
        field = box;
    } else if (obs_property_get_type(property) == OBS_PROPERTY_LIST &&
               obs_property_list_format(property) == OBS_COMBO_FORMAT_STRING) {
        auto *list = new QComboBox;
        for (size_t i = 0; i < obs_property_list_item_count(property); ++i)
            list->addItem(QString::fromUtf8(obs_property_list_item_name(property, i)),
                          QString::fromUtf8(obs_property_list_item_string(property, i)));
        list->setCurrentIndex(qMax(0, list->findData(QString::fromUtf8(obs_data_get_string(shown, name)))));
        field = list;
    }
    if (!field)
        return;
    field->setObjectName(QString::fromUtf8(name));
    field->setToolTip(QString::fromUtf8(obs_property_long_description(property)));
    form->addRow(QString::fromUtf8(obs_property_description(property)), field);
    m_fields.append(field);
}

OBSDataAutoRelease KPHostRoomDialog::settings() const
{
    OBSDataAutoRelease settings = obs_data_create();
    for (QWidget *field : m_fields) {
        const QByteArray name = field->objectName().toUtf8();
        if (auto *line = qobject_cast<QLineEdit *>(field)) {
            const QByteArray text = line->text().trimmed().toUtf8();
            if (!text.isEmpty())
                obs_data_set_string(settings, name.constData(), text.constData());
        } else if (auto *box = qobject_cast<QSpinBox *>(field)) {
            obs_data_set_int(settings, name.constData(), box->value());
        } else if (auto *list = qobject_cast<QComboBox *>(field)) {
            obs_data_set_string(settings, name.constData(), list->currentData().toString().toUtf8().constData());
        }
    }
    return settings;
}
