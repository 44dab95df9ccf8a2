// Board hotkeys fired through libobs's hotkey API by kp-host: each must leave
// the same picture as the command or setting it stands for.

#include "kphostplay.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Two identical boards with a rectangle and a line; "a" gets the hotkey, "b" the
// equivalent, both after the same preparation.
QByteArray hotkeyScript(const QByteArray &prepare, const QByteArray &hotkey, const QByteArray &equivalent)
{
    QByteArray steps;
    for (const char *name : {"a", "b"}) {
        steps += QByteArray(R"(
        {"do": "create", "name": "NAME", "type": "kp_source_whiteboard", "settings": {"kp_wb_width": 120, "kp_wb_height": 90}},
        {"do": "update", "name": "NAME", "settings": {"kp_wb_draw_type": 1, "kp_wb_draw_size": 4}},
        {"do": "mouse", "name": "NAME", "action": "down", "x": 10, "y": 10},
        {"do": "mouse", "name": "NAME", "action": "move", "x": 60, "y": 50},
        {"do": "mouse", "name": "NAME", "action": "up", "x": 60, "y": 50},
        {"do": "update", "name": "NAME", "settings": {"kp_wb_draw_type": 4}},
        {"do": "mouse", "name": "NAME", "action": "down", "x": 20, "y": 70},
        {"do": "mouse", "name": "NAME", "action": "move", "x": 110, "y": 80},
        {"do": "mouse", "name": "NAME", "action": "up", "x": 110, "y": 80},
        PREPARE,)")
                     .replace("PREPARE", prepare)
                     .replace("NAME", name);
    }
    steps += R"(
        {"do": "render", "name": "a", "out": "before.png"},
        {"do": "hotkey", "name": "a", "hotkey": ")" + hotkey + R"("},
        {"do": "hotkey", "name": "a", "hotkey": ")" + hotkey + R"(", "pressed": false},
        )" + QByteArray(equivalent).replace("NAME", "b") + R"(,
        {"do": "render", "name": "a", "out": "hotkey.png"},
        {"do": "render", "name": "b", "out": "equivalent.png"})";
    return R"({"canvas": [320, 240], "steps": [)" + steps + "]}";
}

} // namespace

TEST(Hotkeys, EachHotkeyChangesThePictureAsItsCommandDoes)
{
    struct Case
    {
        QByteArray hotkey;
        QByteArray prepare;
        QByteArray equivalent;
    };
    const QList<Case> cases = {
        {"kp_wb_hotkey_undo", R"({"do": "frames", "count": 1})", R"({"do": "command", "name": "NAME", "number": 1})"},
        {"kp_wb_hotkey_redo", R"({"do": "command", "name": "NAME", "number": 1})",
         R"({"do": "command", "name": "NAME", "number": 2})"},
        {"kp_wb_hotkey_clear", R"({"do": "frames", "count": 1})", R"({"do": "command", "name": "NAME", "number": 3})"},
        {"kp_wb_hotkey_hideHandwriting", R"({"do": "frames", "count": 1})",
         R"({"do": "update", "name": "NAME", "settings": {"kp_wb_hideHandwriting": true}})"},
    };
    for (const Case &entry : cases) {
        QTemporaryDir dir;
        const KPHostRun run = playHostScriptText(dir.path(), hotkeyScript(entry.prepare, entry.hotkey, entry.equivalent));
        ASSERT_EQ(run.exitCode, 0) << entry.hotkey.constData() << ": " << run.standardError.toStdString();
        const QImage before(dir.filePath(QStringLiteral("out/before.png")));
        const QImage hotkey(dir.filePath(QStringLiteral("out/hotkey.png")));
        ASSERT_FALSE(hotkey.isNull()) << entry.hotkey.constData();
        EXPECT_NE(hotkey, before) << entry.hotkey.constData();
        EXPECT_EQ(hotkey, QImage(dir.filePath(QStringLiteral("out/equivalent.png")))) << entry.hotkey.constData();
    }
}

TEST(Hotkeys, AHotkeyTheSourceDoesNotHaveFailsTheStep)
{
    QTemporaryDir dir;
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [320, 240], "steps": [
        {"do": "create", "name": "wb", "type": "kp_source_whiteboard"},
        {"do": "hotkey", "name": "wb", "hotkey": "kp_wb_hotkey_dance"}]})");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.standardError.contains(QStringLiteral("step 1 (hotkey): the source has no hotkey \"kp_wb_hotkey_dance\"")))
        << run.standardError.toStdString();
}
