#include "kphostkeys.h"

#include "kphostdisplay.h"
#include "kphosthotkeys.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHash>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <obs-interaction.h>

namespace {

// How often sources added since are given the studio's bindings.
const int kSyncMs = 1000;

// Keys with names of their own in libobs; letters, digits and F keys follow
// one pattern and are made in keyName.
const QList<QPair<int, const char *>> kNamedKeys = {
    {Qt::Key_PageDown, "OBS_KEY_PAGEDOWN"}, {Qt::Key_PageUp, "OBS_KEY_PAGEUP"},
    {Qt::Key_Home, "OBS_KEY_HOME"},         {Qt::Key_End, "OBS_KEY_END"},
    {Qt::Key_Left, "OBS_KEY_LEFT"},         {Qt::Key_Right, "OBS_KEY_RIGHT"},
    {Qt::Key_Up, "OBS_KEY_UP"},             {Qt::Key_Down, "OBS_KEY_DOWN"},
    {Qt::Key_BracketLeft, "OBS_KEY_BRACKETLEFT"}, {Qt::Key_BracketRight, "OBS_KEY_BRACKETRIGHT"},
    {Qt::Key_Space, "OBS_KEY_SPACE"},       {Qt::Key_Minus, "OBS_KEY_MINUS"},
    {Qt::Key_Plus, "OBS_KEY_PLUS"},         {Qt::Key_Equal, "OBS_KEY_EQUAL"},
    {Qt::Key_Comma, "OBS_KEY_COMMA"},       {Qt::Key_Period, "OBS_KEY_PERIOD"},
    {Qt::Key_Slash, "OBS_KEY_SLASH"},       {Qt::Key_Backslash, "OBS_KEY_BACKSLASH"},
    {Qt::Key_Semicolon, "OBS_KEY_SEMICOLON"}, {Qt::Key_Apostrophe, "OBS_KEY_APOSTROPHE"},
    {Qt::Key_Return, "OBS_KEY_RETURN"},     {Qt::Key_Escape, "OBS_KEY_ESCAPE"},
    {Qt::Key_Tab, "OBS_KEY_TAB"},           {Qt::Key_Backspace, "OBS_KEY_BACKSPACE"},
    {Qt::Key_Delete, "OBS_KEY_DELETE"},     {Qt::Key_Insert, "OBS_KEY_INSERT"},
};

const QList<QPair<Qt::KeyboardModifier, uint32_t>> kModifiers = {
    {Qt::ShiftModifier, INTERACT_SHIFT_KEY},
    {Qt::ControlModifier, INTERACT_CONTROL_KEY},
    {Qt::AltModifier, INTERACT_ALT_KEY},
    {Qt::MetaModifier, INTERACT_COMMAND_KEY},
};

QByteArray keyName(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return QByteArray("OBS_KEY_") + char(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return "OBS_KEY_F" + QByteArray::number(key - Qt::Key_F1 + 1);
    for (const auto &named : kNamedKeys) {
        if (named.first == key)
            return named.second;
    }
    return QByteArray();
}

int keyOf(const QByteArray &name)
{
    for (int key = Qt::Key_0; key <= Qt::Key_Z; ++key) {
        if (keyName(key) == name)
            return key;
    }
    for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key) {
        if (keyName(key) == name)
            return key;
    }
    for (const auto &named : kNamedKeys) {
        if (name == named.second)
            return named.first;
    }
    return 0;
}

QList<int> keysOf(const QKeySequence &sequence)
{
    QList<int> keys;
    for (int i = 0; i < sequence.count(); ++i)
        keys << sequence[i];
    return keys;
}

QKeySequence sequenceOf(const QList<int> &keys)
{
    const auto at = [&keys](int i) { return i < keys.size() ? keys[i] : 0; };
    return QKeySequence(at(0), at(1), at(2), at(3));
}

// Every key bound in libobs, by hotkey.
QHash<obs_hotkey_id, QList<int>> boundKeys()
{
    QHash<obs_hotkey_id, QList<int>> bound;
    obs_enum_hotkey_bindings(
        [](void *data, size_t, obs_hotkey_binding_t *binding) {
            const int key = KPHostKeys::fromCombination(obs_hotkey_binding_get_key_combination(binding));
            if (key)
                (*static_cast<QHash<obs_hotkey_id, QList<int>> *>(data))[obs_hotkey_binding_get_hotkey_id(binding)]
                    << key;
            return true;
        },
        &bound);
    return bound;
}

bool collectSource(obs_scene_t *, obs_sceneitem_t *item, void *data)
{
    auto *sources = static_cast<QList<obs_source_t *> *>(data);
    // Topmost first.
    if (obs_sceneitem_visible(item))
        sources->prepend(obs_sceneitem_get_source(item));
    else
        sources->append(obs_sceneitem_get_source(item));
    return true;
}

QList<obs_source_t *> sourcesOf(obs_scene_t *scene)
{
    QList<obs_source_t *> sources;
    obs_scene_enum_items(scene, &collectSource, &sources);
    return sources;
}

} // namespace

KPHostKeys::KPHostKeys(obs_scene_t *scene, KPHostDisplay *display, QWidget *window)
    : QObject(window), m_scene(scene), m_display(display), m_window(window), m_bindings(defaults())
{
    rebuildShortcuts();
    sync();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &KPHostKeys::sync);
    timer->start(kSyncMs);
}

QList<KPHostKeys::Binding> KPHostKeys::defaults()
{
    // Page Down/Up and the arrows are what presentation clickers send.
    return {
        {"kp_ss_hotkey_next", tr("Next slide"), QKeySequence(Qt::Key_PageDown, Qt::Key_Right)},
        {"kp_ss_hotkey_previous", tr("Previous slide"), QKeySequence(Qt::Key_PageUp, Qt::Key_Left)},
        {"kp_ss_hotkey_first", tr("First slide"), QKeySequence(Qt::Key_Home)},
        {"kp_ss_hotkey_last", tr("Last slide"), QKeySequence(Qt::Key_End)},
        {"kp_wb_hotkey_tool_pen", tr("Pen"), QKeySequence(Qt::Key_P)},
        {"kp_wb_hotkey_tool_line", tr("Line"), QKeySequence(Qt::Key_L)},
        {"kp_wb_hotkey_tool_arrow", tr("Arrow"), QKeySequence(Qt::Key_A)},
        {"kp_wb_hotkey_tool_rect", tr("Rectangle"), QKeySequence(Qt::Key_R)},
        {"kp_wb_hotkey_tool_ellipse", tr("Ellipse"), QKeySequence(Qt::Key_E)},
        {"kp_wb_hotkey_tool_dot", tr("Dot"), QKeySequence(Qt::Key_D)},
        {"kp_wb_hotkey_tool_highlighter", tr("Highlighter"), QKeySequence(Qt::Key_H)},
        {"kp_wb_hotkey_tool_text", tr("Text"), QKeySequence(Qt::Key_T)},
        {"kp_wb_hotkey_tool_eraser", tr("Eraser"), QKeySequence(Qt::Key_X)},
        {"kp_wb_hotkey_tool_laser", tr("Laser Pointer"), QKeySequence(Qt::Key_Z)},
        {"kp_wb_hotkey_tool_spotlight", tr("Spotlight"), QKeySequence(Qt::Key_S)},
        {"kp_wb_hotkey_color_red", tr("Red"), QKeySequence(Qt::Key_1)},
        {"kp_wb_hotkey_color_green", tr("Green"), QKeySequence(Qt::Key_2)},
        {"kp_wb_hotkey_color_blue", tr("Blue"), QKeySequence(Qt::Key_3)},
        {"kp_wb_hotkey_color_yellow", tr("Yellow"), QKeySequence(Qt::Key_4)},
        {"kp_wb_hotkey_color_white", tr("White"), QKeySequence(Qt::Key_5)},
        {"kp_wb_hotkey_color_black", tr("Black"), QKeySequence(Qt::Key_6)},
        {"kp_wb_hotkey_size_down", tr("Smaller"), QKeySequence(Qt::Key_BracketLeft)},
        {"kp_wb_hotkey_size_up", tr("Larger"), QKeySequence(Qt::Key_BracketRight)},
    };
}

bool KPHostKeys::toCombination(int key, obs_key_combination_t *combination)
{
    const QByteArray name = keyName(key & ~Qt::KeyboardModifierMask);
    const obs_key_t obsKey = name.isEmpty() ? OBS_KEY_NONE : obs_key_from_name(name.constData());
    if (obsKey == OBS_KEY_NONE)
        return false;
    combination->key = obsKey;
    combination->modifiers = 0;
    for (const auto &modifier : kModifiers) {
        if (key & modifier.first)
            combination->modifiers |= modifier.second;
    }
    return true;
}

int KPHostKeys::fromCombination(const obs_key_combination_t &combination)
{
    const int key = keyOf(QByteArray(obs_key_to_name(combination.key)));
    if (!key)
        return 0;
    int modifiers = 0;
    for (const auto &modifier : kModifiers) {
        if (combination.modifiers & modifier.second)
            modifiers |= modifier.first;
    }
    return key | modifiers;
}

void KPHostKeys::setKeys(const QString &hotkey, const QKeySequence &keys)
{
    for (Binding &binding : m_bindings) {
        if (binding.hotkey == hotkey)
            binding.keys = keys;
    }
    rebuildShortcuts();
    sync();
}

void KPHostKeys::rebuildShortcuts()
{
    qDeleteAll(m_shortcuts);
    m_shortcuts.clear();
    for (const Binding &binding : qAsConst(m_bindings)) {
        for (int key : keysOf(binding.keys)) {
            auto *shortcut = new QShortcut(QKeySequence(key), m_window);
            shortcut->setContext(Qt::ApplicationShortcut);
            shortcut->setAutoRepeat(false);
            const QString hotkey = binding.hotkey;
            connect(shortcut, &QShortcut::activated, this, [this, hotkey] { fire(hotkey); });
            m_shortcuts << shortcut;
        }
    }
}

bool KPHostKeys::fire(const QString &hotkey)
{
    QList<obs_source_t *> candidates = {m_display->focusedSource(), m_display->hoveredSource()};
    candidates << sourcesOf(m_scene);
    for (obs_source_t *source : qAsConst(candidates)) {
        const obs_hotkey_id id = KPHostHotkeys::find(source, hotkey);
        if (id == OBS_INVALID_HOTKEY_ID)
            continue;
        KPHostHotkeys::fire(id, true);
        KPHostHotkeys::fire(id, false);
        return true;
    }
    return false;
}

bool KPHostKeys::takeBindings()
{
    const QHash<obs_hotkey_id, QList<int>> bound = boundKeys();
    for (obs_source_t *source : sourcesOf(m_scene)) {
        QList<Binding> taken = m_bindings;
        bool any = false;
        for (Binding &binding : taken) {
            const obs_hotkey_id id = KPHostHotkeys::find(source, binding.hotkey);
            if (id == OBS_INVALID_HOTKEY_ID)
                continue;
            binding.keys = sequenceOf(bound.value(id));
            any = any || bound.contains(id);
        }
        if (any) {
            m_bindings = taken;
            return true;
        }
    }
    return false;
}

void KPHostKeys::sync()
{
    if (m_takeFromScene && takeBindings())
        rebuildShortcuts();
    m_takeFromScene = false;
    const QHash<obs_hotkey_id, QList<int>> bound = boundKeys();
    for (obs_source_t *source : sourcesOf(m_scene)) {
        for (const Binding &binding : qAsConst(m_bindings)) {
            const obs_hotkey_id id = KPHostHotkeys::find(source, binding.hotkey);
            const QList<int> keys = keysOf(binding.keys);
            if (id == OBS_INVALID_HOTKEY_ID || bound.value(id) == keys)
                continue;
            QVector<obs_key_combination_t> combinations;
            for (int key : keys) {
                obs_key_combination_t combination;
                if (toCombination(key, &combination))
                    combinations << combination;
            }
            obs_hotkey_load_bindings(id, combinations.data(), static_cast<size_t>(combinations.size()));
        }
    }
}

void KPHostKeys::editBindings()
{
    QDialog dialog(m_window);
    dialog.setWindowTitle(tr("Keys"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(tr("Click a field and press the key or keys (up to four) that should do it.")));
    auto *fields = new QWidget;
    auto *form = new QFormLayout(fields);
    QList<QKeySequenceEdit *> edits;
    for (const Binding &binding : qAsConst(m_bindings)) {
        auto *edit = new QKeySequenceEdit(binding.keys);
        edit->setObjectName(binding.hotkey);
        form->addRow(binding.description, edit);
        edits << edit;
    }
    auto *scroll = new QScrollArea;
    scroll->setWidget(fields);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, &dialog, [&edits] {
        const QList<Binding> original = defaults();
        for (int i = 0; i < edits.size() && i < original.size(); ++i)
            edits[i]->setKeySequence(original[i].keys);
    });
    dialog.resize(420, 520);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (int i = 0; i < edits.size(); ++i)
        m_bindings[i].keys = edits[i]->keySequence();
    rebuildShortcuts();
    sync();
}
