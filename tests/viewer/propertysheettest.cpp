// The viewer's docks without a person at the keyboard. The property sheet
// built from the sheets sources register: every source type of the plug-in
// and a type of the test's own that has every kind of property libobs knows;
// each field must be the right kind of widget with the right range and
// value, and an edit must change that one setting. The sources panel acting
// on the output's scene.

#include "kphostdisplay.h"
#include "kphostkeys.h"
#include "kpobstestenvironment.h"
#include "kppropertysheet.h"
#include "kpsourcespanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <obs.hpp>

#include <gtest/gtest.h>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true, 640, 360}));

const char kEveryKind[] = "kp_test_every_kind";
int g_presses = 0;

bool hideSecret(obs_properties_t *properties, obs_property_t *, obs_data_t *settings)
{
    obs_property_set_visible(obs_properties_get(properties, "secret"), !obs_data_get_bool(settings, "flag"));
    return true;
}

bool press(obs_properties_t *, obs_property_t *, void *)
{
    ++g_presses;
    return true;
}

obs_properties_t *everyKind(void *)
{
    obs_properties_t *p = obs_properties_create();
    obs_property_set_modified_callback(obs_properties_add_bool(p, "flag", "Flag"), hideSecret);
    obs_properties_add_int(p, "count", "Count", 0, 10, 2);
    obs_property_int_set_suffix(obs_properties_add_int_slider(p, "level", "Level", 0, 100, 5), " %");
    obs_properties_add_float(p, "ratio", "Ratio", 0.0, 1.0, 0.25);
    obs_properties_add_float_slider(p, "gain", "Gain", -1.0, 1.0, 0.5);
    obs_properties_add_text(p, "title", "Title", OBS_TEXT_DEFAULT);
    obs_properties_add_text(p, "secret", "Secret", OBS_TEXT_PASSWORD);
    obs_properties_add_text(p, "notes", "Notes", OBS_TEXT_MULTILINE);
    obs_properties_add_text(p, "info", "Read this", OBS_TEXT_INFO);
    obs_properties_add_path(p, "picture", "Picture", OBS_PATH_FILE, "Pictures (*.png)", "/tmp");
    obs_properties_add_path(p, "folder", "Folder", OBS_PATH_DIRECTORY, nullptr, nullptr);
    obs_property_t *mode = obs_properties_add_list(p, "mode", "Mode", OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(mode, "A", "a");
    obs_property_list_add_string(mode, "B", "b");
    obs_property_t *size = obs_properties_add_list(p, "size", "Size", OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_INT);
    obs_property_list_add_int(size, "One", 1);
    obs_property_list_add_int(size, "Two", 2);
    obs_property_list_add_int(size, "Three", 3);
    obs_property_list_item_disable(size, 1, true);
    obs_property_t *ratio = obs_properties_add_list(p, "aspect", "Aspect", OBS_COMBO_TYPE_EDITABLE, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(ratio, "Wide", "16:9");
    obs_property_list_add_string(ratio, "Square", "1:1");
    obs_properties_add_color(p, "tint", "Tint");
    obs_properties_add_color_alpha(p, "shade", "Shade");
    obs_property_set_long_description(obs_properties_add_button(p, "go", "Go", press), "Presses go");
    obs_properties_add_font(p, "font", "Font");
    obs_properties_add_editable_list(p, "files", "Files", OBS_EDITABLE_LIST_TYPE_FILES, "*.png", "/tmp");
    obs_property_t *fps = obs_properties_add_frame_rate(p, "fps", "Frame rate");
    obs_property_frame_rate_option_add(fps, "auto", "Automatic");
    obs_property_frame_rate_fps_range_add(fps, {1, 1}, {60, 1});
    obs_properties_t *inner = obs_properties_create();
    obs_property_set_enabled(obs_properties_add_int(inner, "inner", "Inner", -5, 5, 1), false);
    obs_properties_add_group(p, "more", "More", OBS_GROUP_CHECKABLE, inner);
    return p;
}

void registerEveryKind()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    obs_source_info info = {};
    info.id = kEveryKind;
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.get_name = [](void *) { return "Every kind"; };
    info.create = [](obs_data_t *, obs_source_t *) -> void * { return &g_presses; };
    info.destroy = [](void *) {};
    info.get_properties = everyKind;
    obs_register_source(&info);
}

QJsonObject settingsOf(obs_source_t *source)
{
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    return QJsonDocument::fromJson(obs_data_get_json(settings)).object();
}

// The widget class a property of this kind is edited with.
QString expectedClass(obs_property_t *p)
{
    switch (obs_property_get_type(p)) {
    case OBS_PROPERTY_BOOL: return "QCheckBox";
    case OBS_PROPERTY_INT: return obs_property_int_type(p) == OBS_NUMBER_SLIDER ? "QSlider" : "QSpinBox";
    case OBS_PROPERTY_FLOAT: return obs_property_float_type(p) == OBS_NUMBER_SLIDER ? "QSlider" : "QDoubleSpinBox";
    case OBS_PROPERTY_TEXT:
        return obs_property_text_type(p) == OBS_TEXT_MULTILINE ? "QPlainTextEdit"
               : obs_property_text_type(p) == OBS_TEXT_INFO    ? "QLabel"
                                                               : "QLineEdit";
    case OBS_PROPERTY_PATH:
    case OBS_PROPERTY_COLOR:
    case OBS_PROPERTY_COLOR_ALPHA: return "QLineEdit";
    case OBS_PROPERTY_LIST:
    case OBS_PROPERTY_FRAME_RATE: return "QComboBox";
    case OBS_PROPERTY_BUTTON:
    case OBS_PROPERTY_FONT: return "QPushButton";
    case OBS_PROPERTY_EDITABLE_LIST: return "QListWidget";
    case OBS_PROPERTY_GROUP: return "QGroupBox";
    default: return "?";
    }
}

// Checks the field's range and shown value against the property and settings.
void checkField(obs_property_t *p, QWidget *field, obs_data_t *settings)
{
    const char *name = obs_property_name(p);
    if (auto *spin = qobject_cast<QSpinBox *>(field)) {
        EXPECT_EQ(spin->minimum(), obs_property_int_min(p)) << name;
        EXPECT_EQ(spin->maximum(), obs_property_int_max(p)) << name;
        EXPECT_EQ(spin->singleStep(), obs_property_int_step(p)) << name;
        EXPECT_EQ(spin->value(), obs_data_get_int(settings, name)) << name;
    } else if (auto *spin = qobject_cast<QDoubleSpinBox *>(field)) {
        EXPECT_DOUBLE_EQ(spin->maximum(), obs_property_float_max(p)) << name;
        EXPECT_DOUBLE_EQ(spin->value(), obs_data_get_double(settings, name)) << name;
    } else if (auto *box = qobject_cast<QCheckBox *>(field)) {
        EXPECT_EQ(box->isChecked(), obs_data_get_bool(settings, name)) << name;
    } else if (auto *combo = qobject_cast<QComboBox *>(field); combo && obs_property_get_type(p) == OBS_PROPERTY_LIST) {
        EXPECT_EQ(combo->count(), static_cast<int>(obs_property_list_item_count(p))) << name;
    } else if (auto *line = qobject_cast<QLineEdit *>(field); line && obs_property_get_type(p) == OBS_PROPERTY_PATH) {
        EXPECT_EQ(line->text(), QString::fromUtf8(obs_data_get_string(settings, name))) << name;
        EXPECT_EQ(line->property("filter").toString(), QString::fromUtf8(obs_property_path_filter(p))) << name;
    }
    EXPECT_EQ(field->isEnabled(), obs_property_enabled(p)) << name;
}

void finishLine(QLineEdit *line, const QString &text)
{
    line->setText(text);
    line->setModified(true);
    emit line->editingFinished();
}

// Edits the field as a user would; false for fields that need a dialog or
// have no value (buttons, fonts, info text, groups, frame rates).
bool edit(obs_property_t *p, QWidget *field)
{
    if (auto *box = qobject_cast<QCheckBox *>(field))
        box->click();
    else if (auto *spin = qobject_cast<QSpinBox *>(field))
        spin->setValue(spin->value() == spin->maximum() ? spin->minimum() : spin->maximum());
    else if (auto *spin = qobject_cast<QDoubleSpinBox *>(field))
        spin->setValue(spin->value() == spin->maximum() ? spin->minimum() : spin->maximum());
    else if (auto *slider = qobject_cast<QSlider *>(field))
        slider->setValue(slider->value() == slider->maximum() ? slider->minimum() : slider->maximum());
    else if (auto *area = qobject_cast<QPlainTextEdit *>(field))
        area->setPlainText(QStringLiteral("two\nlines"));
    else if (auto *list = qobject_cast<QListWidget *>(field))
        (new QListWidgetItem(QStringLiteral("/tmp/added.png"), list))->setText(QStringLiteral("/tmp/b.png"));
    else if (auto *combo = qobject_cast<QComboBox *>(field); combo && obs_property_get_type(p) == OBS_PROPERTY_LIST)
        emit combo->activated((combo->currentIndex() + 1) % combo->count());
    else if (auto *line = qobject_cast<QLineEdit *>(field); line && obs_property_get_type(p) != OBS_PROPERTY_TEXT)
        finishLine(line, obs_property_get_type(p) == OBS_PROPERTY_PATH ? QStringLiteral("/tmp/x.png")
                                                                       : QStringLiteral("#123456"));
    else if (auto *line = qobject_cast<QLineEdit *>(field))
        finishLine(line, QStringLiteral("typed"));
    else
        return false;
    return true;
}

void forEachProperty(obs_properties_t *properties, const std::function<void(obs_property_t *)> &visit)
{
    for (obs_property_t *p = obs_properties_first(properties); p; obs_property_next(&p)) {
        visit(p);
        if (obs_property_get_type(p) == OBS_PROPERTY_GROUP)
            forEachProperty(obs_property_group_content(p), visit);
    }
}

QStringList inputTypes()
{
    registerEveryKind();
    QStringList types;
    const char *id = nullptr;
    for (size_t i = 0; obs_enum_input_types(i, &id); ++i)
        types << QString::fromUtf8(id);
    return types;
}

} // namespace

TEST(PropertySheet, EveryRegisteredTypeGetsAFieldPerPropertyAndEachEditChangesOneSetting)
{
    const QStringList types = inputTypes();
    ASSERT_TRUE(types.contains("kp_source_whiteboard") && types.contains("kp_image_source")) << types.join(' ').toStdString();
    for (const QString &type : types) {
        OBSSourceAutoRelease source = obs_source_create(type.toUtf8().constData(), "sheet", nullptr, nullptr);
        ASSERT_TRUE(source) << type.toStdString();
        KPPropertySheet sheet;
        sheet.setSource(source);
        obs_properties_t *properties = obs_source_properties(source);
        QStringList names;
        forEachProperty(properties, [&](obs_property_t *p) { names << QString::fromUtf8(obs_property_name(p)); });
        for (const QString &name : names) {
            obs_property_t *p = obs_properties_get(properties, name.toUtf8().constData());
            auto *field = sheet.findChild<QWidget *>(name);
            if (!obs_property_visible(p)) {
                EXPECT_EQ(field, nullptr) << name.toStdString();
                continue;
            }
            ASSERT_NE(field, nullptr) << type.toStdString() << " " << name.toStdString();
            EXPECT_EQ(QString::fromLatin1(field->metaObject()->className()), expectedClass(p)) << name.toStdString();
            OBSDataAutoRelease settings = obs_source_get_settings(source);
            checkField(p, field, settings);
            if (!field->isEnabled())
                continue;
            QJsonObject before = settingsOf(source);
            if (!edit(p, field))
                continue;
            QJsonObject after = settingsOf(source);
            OBSDataAutoRelease edited = obs_source_get_settings(source);
            obs_property_modified(p, edited);
            EXPECT_NE(after.value(name), before.value(name)) << type.toStdString() << " " << name.toStdString();
            before.remove(name);
            after.remove(name);
            EXPECT_EQ(after, before) << type.toStdString() << " " << name.toStdString();
            QCoreApplication::processEvents();
        }
        obs_properties_destroy(properties);
    }
}

TEST(PropertySheet, ModifiedCallbacksButtonsAndBadValues)
{
    registerEveryKind();
    OBSDataAutoRelease bad = obs_data_create_from_json(R"({"count": 99, "mode": "gone", "secret": "x"})");
    OBSSourceAutoRelease source = obs_source_create(kEveryKind, "bad", bad, nullptr);
    KPPropertySheet sheet;
    QSignalSpy messages(&sheet, &KPPropertySheet::message);
    sheet.setSource(source);
    QString shown;
    for (const QList<QVariant> &arguments : qAsConst(messages))
        shown += arguments[0].toString() + '\n';
    EXPECT_TRUE(shown.contains("outside 0 to 10") && shown.contains("\"gone\" is not one of the choices"))
        << shown.toStdString();
    // Shown, not rewritten: the bad values stay until the user picks others.
    EXPECT_EQ(settingsOf(source).value("count").toInt(), 99);
    EXPECT_EQ(settingsOf(source).value("mode").toString(), "gone");

    // The flag's modified callback hides the password field once the form is rebuilt.
    ASSERT_NE(sheet.findChild<QLineEdit *>("secret"), nullptr);
    sheet.findChild<QCheckBox *>("flag")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet.findChild<QLineEdit *>("secret"), nullptr);

    // A change made elsewhere reaches the sheet.
    OBSDataAutoRelease elsewhere = obs_data_create_from_json(R"({"count": 4})");
    obs_source_update(source, elsewhere);
    sheet.refreshIfChanged();
    EXPECT_EQ(sheet.findChild<QSpinBox *>("count")->value(), 4);

    // A number typed beyond the range is brought to its end, with a note.
    auto *count = sheet.findChild<QSpinBox *>("count");
    count->setFocus();
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("50"));
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_EQ(settingsOf(source).value("count").toInt(), 10);
    EXPECT_TRUE(messages.last()[0].toString().contains("set to 10")) << messages.last()[0].toString().toStdString();

    const int presses = g_presses;
    auto *go = sheet.findChild<QPushButton *>("go");
    EXPECT_EQ(go->toolTip(), "Presses go");
    go->click();
    EXPECT_EQ(g_presses, presses + 1);

    auto *tint = sheet.findChild<QLineEdit *>("tint");
    finishLine(tint, QStringLiteral("not a colour"));
    EXPECT_TRUE(messages.last()[0].toString().contains("is not a colour"));
    EXPECT_FALSE(settingsOf(source).contains("tint"));
    auto *fps = sheet.findChild<QComboBox *>("fps");
    fps->setEditText(QStringLiteral("500/1"));
    emit fps->lineEdit()->editingFinished();
    EXPECT_TRUE(messages.last()[0].toString().contains("not an allowed frame rate"));
    fps->setEditText(QStringLiteral("25"));
    emit fps->lineEdit()->editingFinished();
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    media_frames_per_second rate = {};
    EXPECT_TRUE(obs_data_get_frames_per_second(settings, "fps", &rate, nullptr));
    EXPECT_EQ(rate.numerator, 25u);
}

namespace {

QStringList outputOrder(KPObsRuntime &runtime)
{
    QStringList names;
    obs_scene_enum_items(
        runtime.scene(),
        [](obs_scene_t *, obs_sceneitem_t *item, void *data) {
            static_cast<QStringList *>(data)->prepend(QString::fromUtf8(obs_source_get_name(obs_sceneitem_get_source(item))));
            return true;
        },
        &names);
    return names;
}

} // namespace

// The sources panel acts on the output's scene: topmost first, as listed.
TEST(SourcesPanel, AddRenameHideReorderStepAndRemove)
{
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    KPHostDisplay display(runtime.scene());
    KPSourcesPanel panel(runtime, &display);
    QSignalSpy messages(&panel, &KPSourcesPanel::message);
    obs_source_t *board = panel.addSource(QStringLiteral("kp_source_whiteboard"));
    obs_source_t *slides = panel.addSource(QStringLiteral("kp_image_source"));
    ASSERT_TRUE(board && slides);
    EXPECT_EQ(display.focusedSource(), slides);
    EXPECT_EQ(outputOrder(runtime), QStringList({"Image Slideshow 1", "Whiteboard 1"}));

    auto *list = panel.findChild<QListWidget *>(QStringLiteral("sources"));
    list->item(1)->setText(QStringLiteral("Image Slideshow 1"));
    EXPECT_TRUE(messages.last()[0].toString().contains("is taken"));
    list->item(1)->setText(QStringLiteral("board"));
    QCoreApplication::processEvents();
    EXPECT_STREQ(obs_source_get_name(board), "board");
    list->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(obs_sceneitem_visible(runtime.itemOf(board)));

    list->setCurrentRow(1);
    EXPECT_EQ(display.focusedSource(), board);
    panel.moveSelected(OBS_ORDER_MOVE_UP);
    EXPECT_EQ(outputOrder(runtime), QStringList({"board", "Image Slideshow 1"}));

    // The buttons walk the file list through the slideshow's keys: no wrap at the end.
    QTemporaryDir dir;
    OBSDataAutoRelease files = obs_data_create();
    OBSDataArrayAutoRelease pictures = obs_data_array_create();
    for (const char *name : {"a.png", "b.png", "c.png"}) {
        QImage picture(8, 8, QImage::Format_RGBA8888);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(dir.filePath(QLatin1String(name))));
        OBSDataAutoRelease entry = obs_data_create();
        obs_data_set_string(entry, "value", dir.filePath(QLatin1String(name)).toUtf8().constData());
        obs_data_array_push_back(pictures, entry);
    }
    obs_data_set_array(files, "c_data_name_file_list", pictures);
    obs_data_set_string(files, "file", dir.filePath(QStringLiteral("b.png")).toUtf8().constData());
    obs_source_update(slides, files);
    display.setFocusedSource(slides);
    const auto file = [&] {
        OBSDataAutoRelease now = obs_source_get_settings(slides);
        return QFileInfo(QString::fromUtf8(obs_data_get_string(now, "file"))).fileName();
    };
    for (const auto &step : {std::make_pair(1, "c.png"), std::make_pair(1, "c.png"), std::make_pair(-1, "b.png")}) {
        panel.stepSlideshow(step.first);
        EXPECT_EQ(file(), QLatin1String(step.second));
    }

    panel.removeSelected();
    display.setFocusedSource(board);
    panel.removeSelected();
    EXPECT_TRUE(outputOrder(runtime).isEmpty());
}

// A whole scene through the panel: opening replaces the open one (the same
// names included) and brings back each source's fit and the studio's keys;
// a file that cannot be opened leaves the scene as it was. The Add menu names
// each type once and leaves out the ones not for presenters.
TEST(SourcesPanel, OpenReplacesTheSceneWithItsFitAndKeys)
{
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    KPHostDisplay display(runtime.scene());
    KPSourcesPanel panel(runtime, &display);
    QWidget window;
    KPHostKeys keys(runtime.scene(), &display, &window);
    QStringList names;
    for (const auto &type : panel.addableTypes()) {
        EXPECT_FALSE(names.contains(type.second)) << type.second.toStdString();
        EXPECT_FALSE(type.first.startsWith(QLatin1String("kp_test_"))) << type.first.toStdString();
        names << type.second;
    }

    panel.addSource(QStringLiteral("kp_source_whiteboard"));
    obs_source_t *picture = panel.addSource(QStringLiteral("kp_single_image_source"));
    ASSERT_TRUE(picture && KPSourcesPanel::fitsToCanvas(picture));
    keys.setKeys(QStringLiteral("kp_wb_hotkey_tool_pen"), QKeySequence(Qt::Key_F5));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scene.json"));
    ASSERT_TRUE(panel.saveScene(path));
    EXPECT_FALSE(panel.isModified());
    keys.setKeys(QStringLiteral("kp_wb_hotkey_tool_pen"), QKeySequence(Qt::Key_P));

    ASSERT_FALSE(panel.openScene(dir.filePath(QStringLiteral("missing.json"))));
    const QStringList before = outputOrder(runtime);
    EXPECT_EQ(before, QStringList({"Single Image 1", "Whiteboard 1"}));
    ASSERT_TRUE(panel.openScene(path));
    EXPECT_EQ(outputOrder(runtime), before);
    OBSSourceAutoRelease opened = obs_get_source_by_name("Single Image 1");
    ASSERT_NE(opened.Get(), picture);
    EXPECT_EQ(obs_sceneitem_get_bounds_type(runtime.itemOf(opened)), OBS_BOUNDS_SCALE_INNER);
    keys.takeFromScene();
    keys.sync();
    for (const KPHostKeys::Binding &binding : keys.bindings()) {
        if (binding.hotkey == QLatin1String("kp_wb_hotkey_tool_pen")) {
            EXPECT_EQ(binding.keys, QKeySequence(Qt::Key_F5));
        }
    }

    panel.newScene();
    EXPECT_TRUE(outputOrder(runtime).isEmpty());
}

namespace {

// Answers the next question a dialog asks with the given button.
void answerNext(QMessageBox::StandardButton answer)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box->button(answer)->click();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

} // namespace

// Removing what may hold drawings, and dropping unsaved changes, ask first.
TEST(SourcesPanel, RemovingAndDroppingChangesAskFirst)
{
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    KPHostDisplay display(runtime.scene());
    KPSourcesPanel panel(runtime, &display);
    panel.newScene();
    panel.addSource(QStringLiteral("kp_source_whiteboard"));
    answerNext(QMessageBox::No);
    panel.confirmRemove();
    EXPECT_EQ(outputOrder(runtime).size(), 1);
    answerNext(QMessageBox::Yes);
    panel.confirmRemove();
    EXPECT_TRUE(outputOrder(runtime).isEmpty());

    panel.addSource(QStringLiteral("kp_source_whiteboard"));
    ASSERT_TRUE(panel.isModified());
    answerNext(QMessageBox::Cancel);
    EXPECT_FALSE(panel.askToSave());
    answerNext(QMessageBox::Discard);
    EXPECT_TRUE(panel.askToSave());
    panel.newScene();
}
