// A text box on a whiteboard, played through kp-host as a presenter uses it:
// a click places the box, typing and a clipboard paste fill it (a line of it
// Chinese), a click outside finishes it, and the saved board loads into a new
// source that renders the same pixels.

#include "kphostplay.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char Script[] = R"({
  "canvas": [640, 360],
  "steps": [
    {"do": "create", "name": "wb", "type": "kp_source_whiteboard",
     "settings": {"kp_wb_width": 640, "kp_wb_height": 360, "kp_wb_background": 4294967295}},
    {"do": "update", "name": "wb",
     "settings": {"kp_wb_draw_type": 7, "kp_wb_draw_color": 4278190080, "kp_wb_draw_size": 20}},
    {"do": "mouse", "name": "wb", "action": "down", "x": 100, "y": 100},
    {"do": "mouse", "name": "wb", "action": "up", "x": 100, "y": 100},
    {"do": "type", "name": "wb", "text": "Hello, board"},
    {"do": "key", "name": "wb", "vkey": 16777220, "text": "\r"},
    {"do": "type", "name": "wb", "text": "你好，世界"},
    {"do": "key", "name": "wb", "vkey": 16777220, "text": "\r"},
    {"do": "clipboard", "text": "pasted!"},
    {"do": "key", "name": "wb", "vkey": 86, "text": "\u0016", "modifiers": 4},
    {"do": "key", "name": "wb", "vkey": 86, "text": "\u0016", "modifiers": 4, "up": true},
    {"do": "render", "name": "wb", "out": "editing.png"},
    {"do": "status", "name": "wb", "out": "editing.json"},
    {"do": "mouse", "name": "wb", "action": "down", "x": 600, "y": 330},
    {"do": "mouse", "name": "wb", "action": "up", "x": 600, "y": 330},
    {"do": "status", "name": "wb", "out": "finished.json"},
    {"do": "render", "name": "wb", "out": "finished.png"},
    {"do": "save", "name": "wb", "out": "saved.json"},
    {"do": "load", "name": "reloaded", "type": "kp_source_whiteboard", "from": "saved.json"},
    {"do": "render", "name": "reloaded", "out": "reloaded.png"}
  ]
})";

const QRgb White = qRgba(255, 255, 255, 255);

KPHostRun playScript(const QTemporaryDir &dir)
{
    return playHostScriptText(dir.path(), Script);
}

QJsonObject readJson(const QTemporaryDir &dir, const QString &name)
{
    QFile file(dir.filePath(QStringLiteral("out/") + name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Dark pixels: the text is black on a white board.
int inkIn(const QImage &image, const QRect &area)
{
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += qGray(image.pixel(x, y)) < 128;
    return ink;
}

class TextBoxPlayed : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_run = new KPHostRun(playScript(*s_dir));
    }
    static void TearDownTestSuite()
    {
        delete s_run;
        delete s_dir;
    }
    void SetUp() override
    {
        ASSERT_EQ(s_run->exitCode, 0) << s_run->standardError.toStdString();
    }
    QImage png(const char *name) const
    {
        return QImage(s_dir->filePath(QStringLiteral("out/") + QLatin1String(name)))
            .convertToFormat(QImage::Format_ARGB32);
    }

    static QTemporaryDir *s_dir;
    static KPHostRun *s_run;
};

QTemporaryDir *TextBoxPlayed::s_dir = nullptr;
KPHostRun *TextBoxPlayed::s_run = nullptr;

} // namespace

TEST_F(TextBoxPlayed, typedAndPastedTextIsSavedWithItsBox)
{
    const QJsonObject saved = readJson(*s_dir, QStringLiteral("saved.json"));
    const QJsonArray records =
        saved.value(QStringLiteral("kp_wb_data")).toObject().value(QStringLiteral("kp_wb_data_datas")).toArray();
    ASSERT_EQ(records.size(), 1) << "the click outside filed exactly one item";
    const QJsonObject text = records[0].toObject().value(QStringLiteral("kp_wb_data_textData")).toObject();
    EXPECT_EQ(text.value(QStringLiteral("kp_wb_text")).toString(),
              QStringLiteral("Hello, board\n你好，世界\npasted!"));
    EXPECT_EQ(text.value(QStringLiteral("kp_wb_text_x")).toInt(), 100);
    EXPECT_EQ(text.value(QStringLiteral("kp_wb_text_y")).toInt(), 85);
    EXPECT_EQ(text.value(QStringLiteral("kp_wb_text_font_size")).toInt(), 20);
}

TEST_F(TextBoxPlayed, statusFollowsEditing)
{
    const QJsonObject editing = readJson(*s_dir, QStringLiteral("editing.json"));
    EXPECT_TRUE(editing.value(QStringLiteral("kp_wb_text_item_editing")).toBool());
    // The cursor line comes from the last drawn layout: after the paste and a
    // frame it stands after the pasted text, on the third line.
    EXPECT_GT(editing.value(QStringLiteral("kp_wb_text_item_cursor_line_pos1_x")).toInt(), 130);
    EXPECT_EQ(editing.value(QStringLiteral("kp_wb_text_item_cursor_line_pos1_y")).toInt(), 145);
    EXPECT_EQ(editing.value(QStringLiteral("kp_wb_text_item_cursor_line_pos2_y")).toInt(), 175);

    const QJsonObject finished = readJson(*s_dir, QStringLiteral("finished.json"));
    EXPECT_FALSE(finished.value(QStringLiteral("kp_wb_text_item_editing")).toBool());
}

TEST_F(TextBoxPlayed, chineseLineIsDrawnWithTheCjkFont)
{
    EXPECT_TRUE(s_run->log.contains(
        QStringLiteral("init_font font path=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc,index=0]")))
        << "the CJK font comes first in the list";
    const QImage finished = png("finished.png");
    ASSERT_EQ(finished.size(), QSize(640, 360));
    // Each of 你, 好, 世, 界 fills its own full-width cell of about 20 pixels
    // on the second line (y 115 to 145); the comma between them is skipped.
    for (int cell : {0, 1, 3, 4}) {
        const QRect glyph(100 + 20 * cell + 2, 117, 16, 26);
        EXPECT_GT(inkIn(finished, glyph), 15) << "glyph " << cell;
    }
    EXPECT_GT(inkIn(finished, QRect(100, 85, 100, 30)), 50) << "first line";
    EXPECT_GT(inkIn(finished, QRect(100, 145, 60, 30)), 30) << "pasted line";
    EXPECT_EQ(inkIn(finished, QRect(300, 200, 340, 160)), 0) << "nothing but the box";
}

TEST_F(TextBoxPlayed, frameShowsOnlyWhileEditingAndTheLoadedBoardMatches)
{
    const QImage editing = png("editing.png");
    const QImage finished = png("finished.png");
    const QRgb corner = editing.pixel(92, 77);
    EXPECT_EQ(qRed(corner), 255);
    EXPECT_LT(qGreen(corner), 200) << "red frame around the box being edited";
    EXPECT_EQ(finished.pixel(92, 77), White);

    const QImage reloaded = png("reloaded.png");
    ASSERT_FALSE(reloaded.isNull());
    EXPECT_EQ(reloaded, finished);
}
