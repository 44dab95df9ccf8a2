#pragma once

// The room the studio goes live into: one field per property of the
// "kp_rtc_output" output (a line for text, hidden for a password; a spin box
// for a whole number, "automatic" at a zero minimum), filled from the
// output's defaults and the room given. Empty text fields are left out of the
// settings, so the output takes its defaults for them.

#include <QDialog>
#include <QList>

#include <obs.hpp>

class QFormLayout;
class QWidget;

class KPHostRoomDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KPHostRoomDialog(obs_data_t *room, QWidget *parent = nullptr);

    // The settings as the fields hold them now.
    OBSDataAutoRelease settings() const;

private:
    void addField(obs_property_t *property, obs_data_t *shown, QFormLayout *form);

    QList<QWidget *> m_fields; // each named after its property
};
