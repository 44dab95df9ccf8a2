#include "kppropertyfield.h"

#include "kppropertysheet.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QToolButton>
#include <QUrl>

#include <obs.hpp>

#include <cmath>

namespace {

using Write = std::function<void(obs_data_t *)>;

QByteArray nameOf(obs_property_t *p)
{
    return QByteArray(obs_property_name(p));
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8 ? utf8 : "");
}

template <typename W>
W *named(W *widget, obs_property_t *p)
{
    widget->setObjectName(text(obs_property_name(p)));
    return widget;
}

// The editor and what goes with it (a browse button, a value label) in one row.
QWidget *row(std::initializer_list<QWidget *> parts)
{
    auto *box = new QWidget;
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *part : parts)
        layout->addWidget(part, part == *parts.begin() ? 1 : 0);
    return box;
}

void reportRange(KPPropertySheet *sheet, obs_property_t *p, double value, double min, double max)
{
    if (value < min || value > max)
        emit sheet->message(QObject::tr("%1: the value %2 is outside %3 to %4; it is kept until changed here")
                                .arg(text(obs_property_description(p)))
                                .arg(value)
                                .arg(min)
                                .arg(max));
}

// A spin box that takes a number typed beyond its range and brings it to the
// nearest end, saying so, rather than refusing the key without a word.
template <typename Box>
class ClampingBox : public Box
{
public:
    ClampingBox(KPPropertySheet *sheet, obs_property_t *p) : m_sheet(sheet), m_property(p) {}

    QValidator::State validate(QString &input, int &pos) const override
    {
        const QValidator::State state = Box::validate(input, pos);
        bool number = false;
        typed(input, &number);
        return state == QValidator::Invalid && number ? QValidator::Intermediate : state;
    }

    void fixup(QString &input) const override
    {
        bool number = false;
        const double value = typed(input, &number);
        if (!number || (value >= Box::minimum() && value <= Box::maximum()))
            return Box::fixup(input);
        const auto clamped = value < Box::minimum() ? Box::minimum() : Box::maximum();
        input = Box::textFromValue(clamped);
        emit m_sheet->message(QObject::tr("%1: %2 is outside %3 to %4; set to %5")
                                  .arg(text(obs_property_description(m_property)))
                                  .arg(value)
                                  .arg(Box::minimum())
                                  .arg(Box::maximum())
                                  .arg(clamped));
    }

private:
    double typed(const QString &input, bool *number) const
    {
        QString digits = input.trimmed();
        if (!Box::suffix().isEmpty() && digits.endsWith(Box::suffix().trimmed()))
            digits.chop(Box::suffix().trimmed().size());
        return Box::locale().toDouble(digits.trimmed(), number);
    }

    KPPropertySheet *m_sheet;
    obs_property_t *m_property;
};

int decimalsFor(double step)
{
    return step > 0 ? qBound(0, static_cast<int>(std::ceil(-std::log10(step))), 6) : 2;
}

QVariant listValue(obs_property_t *p, size_t index)
{
    switch (obs_property_list_format(p)) {
    case OBS_COMBO_FORMAT_INT: return QVariant::fromValue(obs_property_list_item_int(p, index));
    case OBS_COMBO_FORMAT_FLOAT: return obs_property_list_item_float(p, index);
    default: return text(obs_property_list_item_string(p, index));
    }
}

QVariant settingValue(obs_property_t *p, obs_data_t *settings)
{
    const char *name = obs_property_name(p);
    switch (obs_property_list_format(p)) {
    case OBS_COMBO_FORMAT_INT: return QVariant::fromValue(obs_data_get_int(settings, name));
    case OBS_COMBO_FORMAT_FLOAT: return obs_data_get_double(settings, name);
    default: return text(obs_data_get_string(settings, name));
    }
}

Write listWrite(obs_property_t *p, const QVariant &value)
{
    const QByteArray name = nameOf(p);
    const obs_combo_format format = obs_property_list_format(p);
    return [name, format, value](obs_data_t *change) {
        if (format == OBS_COMBO_FORMAT_INT)
            obs_data_set_int(change, name.constData(), value.toLongLong());
        else if (format == OBS_COMBO_FORMAT_FLOAT)
            obs_data_set_double(change, name.constData(), value.toDouble());
        else
            obs_data_set_string(change, name.constData(), value.toString().toUtf8().constData());
    };
}

QString fontText(obs_data_t *font)
{
    return QStringLiteral("%1 %2, %3 pt")
        .arg(text(obs_data_get_string(font, "face")), text(obs_data_get_string(font, "style")))
        .arg(obs_data_get_int(font, "size"));
}

QFont toQFont(obs_data_t *font)
{
    QFont result(text(obs_data_get_string(font, "face")));
    result.setStyleName(text(obs_data_get_string(font, "style")));
    if (obs_data_get_int(font, "size") > 0)
        result.setPointSize(static_cast<int>(obs_data_get_int(font, "size")));
    const long long flags = obs_data_get_int(font, "flags");
    result.setBold(flags & OBS_FONT_BOLD);
    result.setItalic(flags & OBS_FONT_ITALIC);
    result.setUnderline(flags & OBS_FONT_UNDERLINE);
    result.setStrikeOut(flags & OBS_FONT_STRIKEOUT);
    return result;
}

void writeFont(obs_data_t *font, const QFont &chosen)
{
    obs_data_set_string(font, "face", chosen.family().toUtf8().constData());
    obs_data_set_string(font, "style", chosen.styleName().toUtf8().constData());
    obs_data_set_int(font, "size", chosen.pointSize());
    obs_data_set_int(font, "flags", (chosen.bold() ? OBS_FONT_BOLD : 0) | (chosen.italic() ? OBS_FONT_ITALIC : 0)
                                        | (chosen.underline() ? OBS_FONT_UNDERLINE : 0)
                                        | (chosen.strikeOut() ? OBS_FONT_STRIKEOUT : 0));
}

QString fpsText(const media_frames_per_second &fps)
{
    return QStringLiteral("%1/%2").arg(fps.numerator).arg(fps.denominator);
}

bool fpsAllowed(obs_property_t *p, const media_frames_per_second &fps)
{
    const size_t ranges = obs_property_frame_rate_fps_ranges_count(p);
    const double value = static_cast<double>(fps.numerator) / fps.denominator;
    for (size_t i = 0; i < ranges; ++i) {
        const media_frames_per_second low = obs_property_frame_rate_fps_range_min(p, i);
        const media_frames_per_second high = obs_property_frame_rate_fps_range_max(p, i);
        if (value >= double(low.numerator) / low.denominator && value <= double(high.numerator) / high.denominator)
            return true;
    }
    return ranges == 0;
}

} // namespace

QString KPPropertyField::colourText(long long value, bool alpha)
{
    const auto v = static_cast<quint32>(value);
    const QColor colour(v & 0xff, (v >> 8) & 0xff, (v >> 16) & 0xff, (v >> 24) & 0xff);
    return colour.name(alpha ? QColor::HexArgb : QColor::HexRgb);
}

bool KPPropertyField::parseColour(const QString &entered, bool alpha, long long *value)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9a-fA-F]{6}|[0-9a-fA-F]{8})$"));
    const QString trimmed = entered.trimmed();
    if (!pattern.match(trimmed).hasMatch())
        return false;
    QColor colour(trimmed);
    if (!alpha || trimmed.size() == 7)
        colour.setAlpha(255);
    *value = static_cast<long long>(quint32(colour.red()) | quint32(colour.green()) << 8
                                    | quint32(colour.blue()) << 16 | quint32(colour.alpha()) << 24);
    return true;
}

QWidget *KPPropertyField::create(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    switch (obs_property_get_type(p)) {
    case OBS_PROPERTY_BOOL: return boolField(p, settings, sheet);
    case OBS_PROPERTY_INT: return intField(p, settings, sheet);
    case OBS_PROPERTY_FLOAT: return floatField(p, settings, sheet);
    case OBS_PROPERTY_TEXT: return textField(p, settings, sheet);
    case OBS_PROPERTY_PATH: return pathField(p, settings, sheet);
    case OBS_PROPERTY_LIST: return listField(p, settings, sheet);
    case OBS_PROPERTY_COLOR:
    case OBS_PROPERTY_COLOR_ALPHA: return colourField(p, settings, sheet);
    case OBS_PROPERTY_BUTTON: return buttonField(p, sheet);
    case OBS_PROPERTY_FONT: return fontField(p, settings, sheet);
    case OBS_PROPERTY_EDITABLE_LIST: return editableListField(p, settings, sheet);
    case OBS_PROPERTY_FRAME_RATE: return frameRateField(p, settings, sheet);
    default: break;
    }
    emit sheet->message(QObject::tr("%1: a property of a kind this viewer does not know").arg(text(obs_property_name(p))));
    return named(new QLabel(QObject::tr("(cannot be edited here)")), p);
}

QWidget *KPPropertyField::boolField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    auto *box = named(new QCheckBox(text(obs_property_description(p))), p);
    box->setChecked(obs_data_get_bool(settings, obs_property_name(p)));
    const QByteArray name = nameOf(p);
    QObject::connect(box, &QCheckBox::toggled, sheet, [sheet, p, name](bool on) {
        sheet->apply(p, [&](obs_data_t *change) { obs_data_set_bool(change, name.constData(), on); });
    });
    return box;
}

QWidget *KPPropertyField::intField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    const long long value = obs_data_get_int(settings, name.constData());
    const int min = obs_property_int_min(p);
    const int max = obs_property_int_max(p);
    reportRange(sheet, p, static_cast<double>(value), min, max);
    const auto write = [sheet, p, name](int chosen) {
        sheet->apply(p, [&](obs_data_t *change) { obs_data_set_int(change, name.constData(), chosen); });
    };
    const QString suffix = text(obs_property_int_suffix(p));
    if (obs_property_int_type(p) == OBS_NUMBER_SLIDER) {
        auto *slider = named(new QSlider(Qt::Horizontal), p);
        slider->setRange(min, max);
        slider->setSingleStep(obs_property_int_step(p));
        slider->setValue(static_cast<int>(qBound<long long>(min, value, max)));
        auto *label = new QLabel(QString::number(slider->value()) + suffix);
        QObject::connect(slider, &QSlider::valueChanged, label,
                         [label, suffix](int v) { label->setText(QString::number(v) + suffix); });
        QObject::connect(slider, &QSlider::valueChanged, sheet, write);
        return row({slider, label});
    }
    auto *spin = named(new ClampingBox<QSpinBox>(sheet, p), p);
    spin->setRange(min, max);
    spin->setSingleStep(obs_property_int_step(p));
    spin->setSuffix(suffix);
    spin->setValue(static_cast<int>(qBound<long long>(min, value, max)));
    QObject::connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), sheet, write);
    return spin;
}

QWidget *KPPropertyField::floatField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    const double value = obs_data_get_double(settings, name.constData());
    const double min = obs_property_float_min(p);
    const double max = obs_property_float_max(p);
    const double step = obs_property_float_step(p);
    reportRange(sheet, p, value, min, max);
    const auto write = [sheet, p, name](double chosen) {
        sheet->apply(p, [&](obs_data_t *change) { obs_data_set_double(change, name.constData(), chosen); });
    };
    if (obs_property_float_type(p) == OBS_NUMBER_SLIDER && step > 0) {
        // The slider counts steps from the minimum.
        auto *slider = named(new QSlider(Qt::Horizontal), p);
        slider->setRange(0, static_cast<int>(std::lround((max - min) / step)));
        slider->setValue(static_cast<int>(std::lround((qBound(min, value, max) - min) / step)));
        const QString suffix = text(obs_property_float_suffix(p));
        auto *label = new QLabel(QString::number(min + slider->value() * step) + suffix);
        QObject::connect(slider, &QSlider::valueChanged, sheet, [=](int steps) {
            label->setText(QString::number(min + steps * step) + suffix);
            write(min + steps * step);
        });
        return row({slider, label});
    }
    auto *spin = named(new ClampingBox<QDoubleSpinBox>(sheet, p), p);
    spin->setDecimals(decimalsFor(step));
    spin->setRange(min, max);
    spin->setSingleStep(step);
    spin->setSuffix(text(obs_property_float_suffix(p)));
    spin->setValue(qBound(min, value, max));
    QObject::connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), sheet, write);
    return spin;
}

QWidget *KPPropertyField::textField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    const QString value = text(obs_data_get_string(settings, name.constData()));
    const auto write = [sheet, p, name](const QString &entered) {
        sheet->apply(p, [&](obs_data_t *change) {
            obs_data_set_string(change, name.constData(), entered.toUtf8().constData());
        });
    };
    switch (obs_property_text_type(p)) {
    case OBS_TEXT_INFO: {
        auto *label = named(new QLabel(text(obs_property_description(p))), p);
        label->setWordWrap(obs_property_text_info_word_wrap(p));
        const obs_text_info_type kind = obs_property_text_info_type(p);
        if (kind != OBS_TEXT_INFO_NORMAL)
            label->setStyleSheet(kind == OBS_TEXT_INFO_ERROR ? QStringLiteral("color: red")
                                                             : QStringLiteral("color: darkorange"));
        return label;
    }
    case OBS_TEXT_MULTILINE: {
        auto *area = named(new QPlainTextEdit(value), p);
        if (obs_property_text_monospace(p))
            area->setFont(QFont(QStringLiteral("monospace")));
        QObject::connect(area, &QPlainTextEdit::textChanged, sheet, [area, write] { write(area->toPlainText()); });
        return area;
    }
    default: {
        auto *line = named(new QLineEdit(value), p);
        if (obs_property_text_type(p) == OBS_TEXT_PASSWORD)
            line->setEchoMode(QLineEdit::Password);
        QObject::connect(line, &QLineEdit::editingFinished, sheet, [line, write] {
            if (line->isModified())
                write(line->text());
            line->setModified(false);
        });
        return line;
    }
    }
}

QWidget *KPPropertyField::pathField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    auto *line = named(new QLineEdit(text(obs_data_get_string(settings, name.constData()))), p);
    const obs_path_type type = obs_property_path_type(p);
    const QString filter = text(obs_property_path_filter(p));
    const QString folder = text(obs_property_path_default_path(p));
    line->setProperty("filter", filter);
    line->setProperty("defaultFolder", folder);
    const auto write = [sheet, p, name, line] {
        sheet->apply(p, [&](obs_data_t *change) {
            obs_data_set_string(change, name.constData(), line->text().toUtf8().constData());
        });
    };
    QObject::connect(line, &QLineEdit::editingFinished, sheet, [line, write] {
        if (line->isModified())
            write();
        line->setModified(false);
    });
    auto *browse = new QToolButton;
    browse->setText(QObject::tr("Browse..."));
    QObject::connect(browse, &QToolButton::clicked, sheet, [=] {
        const QString start = line->text().isEmpty() ? folder : QFileInfo(line->text()).path();
        const QString title = text(obs_property_description(p));
        const QString chosen = type == OBS_PATH_DIRECTORY ? QFileDialog::getExistingDirectory(sheet, title, start)
                               : type == OBS_PATH_FILE_SAVE ? QFileDialog::getSaveFileName(sheet, title, start, filter)
                                                            : QFileDialog::getOpenFileName(sheet, title, start, filter);
        if (chosen.isEmpty())
            return;
        line->setText(chosen);
        write();
    });
    return row({line, browse});
}

QWidget *KPPropertyField::listField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    auto *combo = named(new QComboBox, p);
    const bool editable = obs_property_list_type(p) == OBS_COMBO_TYPE_EDITABLE;
    combo->setEditable(editable);
    const size_t count = obs_property_list_item_count(p);
    for (size_t i = 0; i < count; ++i) {
        combo->addItem(text(obs_property_list_item_name(p, i)), listValue(p, i));
        if (obs_property_list_item_disabled(p, i))
            static_cast<QStandardItemModel *>(combo->model())->item(static_cast<int>(i))->setEnabled(false);
    }
    const QVariant value = settingValue(p, settings);
    int index = combo->findData(value);
    if (index < 0 && editable) {
        combo->setEditText(value.toString());
    } else if (index < 0 && (obs_data_has_user_value(settings, obs_property_name(p))
                             || obs_data_has_default_value(settings, obs_property_name(p)))) {
        // Kept, not replaced: the user decides what comes instead.
        combo->insertItem(0, QObject::tr("%1 (not available)").arg(value.toString()), value);
        index = 0;
        emit sheet->message(QObject::tr("%1: \"%2\" is not one of the choices")
                                .arg(text(obs_property_description(p)), value.toString()));
    }
    if (index >= 0)
        combo->setCurrentIndex(index);
    QObject::connect(combo, QOverload<int>::of(&QComboBox::activated), sheet,
                     [=](int chosen) { sheet->apply(p, listWrite(p, combo->itemData(chosen))); });
    if (editable) {
        QObject::connect(combo->lineEdit(), &QLineEdit::editingFinished, sheet, [=] {
            const int known = combo->findText(combo->currentText());
            const QVariant typed = known >= 0 ? combo->itemData(known) : QVariant(combo->currentText());
            if (typed != settingValue(p, sheet->settings()))
                sheet->apply(p, listWrite(p, typed));
        });
    }
    return combo;
}

QWidget *KPPropertyField::colourField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    const bool alpha = obs_property_get_type(p) == OBS_PROPERTY_COLOR_ALPHA;
    auto *line = named(new QLineEdit(colourText(obs_data_get_int(settings, name.constData()), alpha)), p);
    line->setProperty("alpha", alpha);
    auto *swatch = new QToolButton;
    const auto show = [swatch, line] {
        QPixmap pixmap(16, 16);
        pixmap.fill(QColor(line->text()));
        swatch->setIcon(pixmap);
    };
    show();
    const auto write = [=](long long value) {
        line->setText(colourText(value, alpha));
        show();
        sheet->apply(p, [&](obs_data_t *change) { obs_data_set_int(change, name.constData(), value); });
    };
    QObject::connect(line, &QLineEdit::editingFinished, sheet, [=] {
        if (!line->isModified())
            return;
        line->setModified(false);
        long long value = 0;
        if (parseColour(line->text(), alpha, &value))
            return write(value);
        emit sheet->message(QObject::tr("%1: \"%2\" is not a colour (#RRGGBB%3)")
                                .arg(text(obs_property_description(p)), line->text(),
                                     alpha ? QStringLiteral(" or #AARRGGBB") : QString()));
        line->setText(colourText(obs_data_get_int(sheet->settings(), name.constData()), alpha));
    });
    QObject::connect(swatch, &QToolButton::clicked, sheet, [=] {
        const QColor chosen = QColorDialog::getColor(QColor(line->text()), sheet, text(obs_property_description(p)),
                                                     alpha ? QColorDialog::ShowAlphaChannel : QColorDialog::ColorDialogOptions());
        long long value = 0;
        if (chosen.isValid() && parseColour(chosen.name(QColor::HexArgb), alpha, &value))
            write(value);
    });
    return row({line, swatch});
}

QWidget *KPPropertyField::buttonField(obs_property_t *p, KPPropertySheet *sheet)
{
    auto *button = named(new QPushButton(text(obs_property_description(p))), p);
    QObject::connect(button, &QPushButton::clicked, sheet, [sheet, p] {
        if (obs_property_button_type(p) == OBS_BUTTON_URL)
            QDesktopServices::openUrl(QUrl(text(obs_property_button_url(p))));
        else
            sheet->press(p);
    });
    return button;
}

QWidget *KPPropertyField::fontField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    OBSDataAutoRelease font = obs_data_get_obj(settings, name.constData());
    auto *button = named(new QPushButton(font ? fontText(font) : QObject::tr("Choose...")), p);
    QObject::connect(button, &QPushButton::clicked, sheet, [=] {
        OBSDataAutoRelease current = obs_data_get_obj(sheet->settings(), name.constData());
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, current ? toQFont(current) : QFont(), sheet);
        if (!ok)
            return;
        OBSDataAutoRelease record = obs_data_create();
        writeFont(record, chosen);
        button->setText(fontText(record));
        sheet->apply(p, [&](obs_data_t *change) { obs_data_set_obj(change, name.constData(), record); });
    });
    return button;
}

QWidget *KPPropertyField::editableListField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    auto *list = named(new QListWidget, p);
    // Long paths scroll inside the list rather than widening the sheet.
    list->setMinimumWidth(120);
    list->setSizeAdjustPolicy(QAbstractScrollArea::AdjustIgnored);
    const obs_editable_list_type type = obs_property_editable_list_type(p);
    const QString filter = text(obs_property_editable_list_filter(p));
    const QString folder = text(obs_property_editable_list_default_path(p));
    list->setProperty("listType", static_cast<int>(type));
    list->setProperty("filter", filter);
    list->setProperty("defaultFolder", folder);
    OBSDataArrayAutoRelease entries = obs_data_get_array(settings, name.constData());
    for (size_t i = 0; i < obs_data_array_count(entries); ++i) {
        OBSDataAutoRelease entry = obs_data_array_item(entries, i);
        auto *item = new QListWidgetItem(text(obs_data_get_string(entry, "value")), list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    const auto write = [=] {
        OBSDataArrayAutoRelease array = obs_data_array_create();
        for (int i = 0; i < list->count(); ++i) {
            OBSDataAutoRelease entry = obs_data_create();
            obs_data_set_string(entry, "value", list->item(i)->text().toUtf8().constData());
            obs_data_set_bool(entry, "selected", list->item(i)->isSelected());
            obs_data_set_bool(entry, "hidden", false);
            obs_data_array_push_back(array, entry);
        }
        sheet->apply(p, [&](obs_data_t *change) { obs_data_set_array(change, name.constData(), array); });
    };
    QObject::connect(list, &QListWidget::itemChanged, sheet, write);
    const auto add = [=] {
        QStringList values;
        if (type == OBS_EDITABLE_LIST_TYPE_FILES)
            values = QFileDialog::getOpenFileNames(sheet, text(obs_property_description(p)), folder, filter);
        else
            values << QInputDialog::getText(sheet, text(obs_property_description(p)),
                                            type == OBS_EDITABLE_LIST_TYPE_STRINGS ? QObject::tr("Entry")
                                                                                   : QObject::tr("File or URL"));
        values.removeAll(QString());
        const QSignalBlocker blocker(list);
        for (const QString &value : qAsConst(values)) {
            auto *item = new QListWidgetItem(value, list);
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
        if (!values.isEmpty())
            write();
    };
    const auto move = [=](int delta) {
        const int from = list->currentRow();
        const int to = from + delta;
        if (from < 0 || to < 0 || to >= list->count())
            return;
        const QSignalBlocker blocker(list);
        list->insertItem(to, list->takeItem(from));
        list->setCurrentRow(to);
        write();
    };
    auto *buttons = new QWidget;
    auto *column = new QVBoxLayout(buttons);
    column->setContentsMargins(0, 0, 0, 0);
    const QList<QPair<QString, std::function<void()>>> actions = {
        {QObject::tr("Add..."), add},
        {QObject::tr("Remove"), [=] { delete list->currentItem(); write(); }},
        {QObject::tr("Up"), [=] { move(-1); }},
        {QObject::tr("Down"), [=] { move(1); }},
    };
    for (const auto &[label, action] : actions)
        QObject::connect(new QPushButton(label, buttons), &QPushButton::clicked, sheet, action);
    for (QPushButton *button : buttons->findChildren<QPushButton *>())
        column->addWidget(button);
    return row({list, buttons});
}

QWidget *KPPropertyField::frameRateField(obs_property_t *p, obs_data_t *settings, KPPropertySheet *sheet)
{
    const QByteArray name = nameOf(p);
    auto *combo = named(new QComboBox, p);
    combo->setEditable(true);
    for (size_t i = 0; i < obs_property_frame_rate_options_count(p); ++i)
        combo->addItem(text(obs_property_frame_rate_option_description(p, i)),
                       text(obs_property_frame_rate_option_name(p, i)));
    media_frames_per_second fps = {};
    const char *option = nullptr;
    obs_data_get_frames_per_second(settings, name.constData(), &fps, &option);
    const int index = option ? combo->findData(text(option)) : -1;
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(fps.denominator ? fpsText(fps) : QString());
    QObject::connect(combo, QOverload<int>::of(&QComboBox::activated), sheet, [=](int chosen) {
        const QByteArray picked = combo->itemData(chosen).toString().toUtf8();
        sheet->apply(p, [&](obs_data_t *change) {
            obs_data_set_frames_per_second(change, name.constData(), media_frames_per_second{0, 0}, picked.constData());
        });
    });
    QObject::connect(combo->lineEdit(), &QLineEdit::editingFinished, sheet, [=] {
        static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+)\\s*(?:/\\s*(\\d+))?\\s*$"));
        const auto match = pattern.match(combo->currentText());
        if (combo->findText(combo->currentText()) >= 0 || !match.hasMatch())
            return;
        const media_frames_per_second typed{match.captured(1).toUInt(),
                                            match.captured(2).isEmpty() ? 1u : match.captured(2).toUInt()};
        if (typed.numerator == 0 || typed.denominator == 0 || !fpsAllowed(p, typed)) {
            emit sheet->message(QObject::tr("%1: %2 is not an allowed frame rate")
                                    .arg(text(obs_property_description(p)), combo->currentText()));
            return;
        }
        sheet->apply(p, [&](obs_data_t *change) {
            obs_data_set_frames_per_second(change, name.constData(), typed, nullptr);
        });
    });
    return combo;
}
