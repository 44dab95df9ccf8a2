#pragma once

// The editing widget of one property, by its kind: check box, spin box or
// slider, line edit (also for passwords, paths and colours), text area,
// combo box, font and frame rate choosers, editable list, button, or a group
// box holding its own fields. The widget is named after the property, shows
// the value the settings hold and hands every edit to the sheet.

#include <obs.h>

#include <QString>

class KPPropertySheet;
class QWidget;

class KPPropertyField
{
public:
    // A widget for the property showing its value in settings; null for a
    // group, which the sheet lays out itself.
    static QWidget *create(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);

    // Colours in settings are 0xAABBGGRR; shown as #AARRGGBB (or #RRGGBB
    // without alpha).
    static QString colourText(long long value, bool alpha);
    static bool parseColour(const QString &text, bool alpha, long long *value);

private:
    static QWidget *boolField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *intField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *floatField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *textField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *pathField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *listField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *colourField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *buttonField(obs_property_t *property, KPPropertySheet *sheet);
    static QWidget *fontField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *editableListField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
    static QWidget *frameRateField(obs_property_t *property, obs_data_t *settings, KPPropertySheet *sheet);
};
