// Font selection: the first file of the list that opens wins, FreeType starts
// once per process, and a size change reopens the face with an empty cache.

#include "ft2font.h"
#include "kplogcapture.h"
#include "texttestitem.h"

#include <QMutexLocker>

#include <cstdlib>

#include <util/bmem.h>

#include <gtest/gtest.h>

namespace {

const QString DejaVu = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");

class FontSelection : public ::testing::Test
{
protected:
    void TearDown() override { ft2_set_font_files({}); }
};

QStringList fontOpenLines(const KPLogCapture &log)
{
    // The text after "path=" of every face-open line, in log order.
    const QString prefix = QStringLiteral("[CONTENT=init_font font path=");
    QStringList found;
    for (const QString &line : log.lines()) {
        const int start = line.indexOf(prefix);
        if (start < 0)
            continue;
        const int from = start + prefix.size();
        found << line.mid(from, line.indexOf(QStringLiteral("][FUN="), from) - from);
    }
    return found;
}

int filledCacheSlots(const ft2_source &source)
{
    int filled = 0;
    for (FT_UInt index = 0; index < FT_UInt(ft2_source::GlyphCacheSize); ++index)
        filled += source.cachedGlyph(index) != nullptr;
    return filled;
}

} // namespace

TEST_F(FontSelection, firstFileThatOpensWinsAndNamesTheFont)
{
    ft2_set_font_files({{QStringLiteral("/nonexistent/first.ttc"), 0},
                        {QStringLiteral("/nonexistent/second.ttf"), 0},
                        {DejaVu, 0},
                        {QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"), 0}});
    KPLogCapture log;
    TextTestItem item;
    item.placeWith(QStringLiteral("abc"));

    const QStringList opened = fontOpenLines(log);
    ASSERT_GE(opened.size(), 3);
    EXPECT_TRUE(opened[0].startsWith(QStringLiteral("/nonexistent/first.ttc,index=0,error=")));
    EXPECT_TRUE(opened[1].startsWith(QStringLiteral("/nonexistent/second.ttf,index=0,error=")));
    EXPECT_EQ(opened[2], DejaVu + QStringLiteral(",index=0"));
    EXPECT_EQ(opened.size(), 3) << "the list stops at the first file that opens";
    EXPECT_EQ(log.linesWithContent(QStringLiteral("family=DejaVu Sans")).size(), 1);
    EXPECT_EQ(item.text().font.family(), QStringLiteral("DejaVu Sans"));
}

TEST_F(FontSelection, platformListPrefersTheCjkFont)
{
    TextTestItem item;
    item.placeWith(QStringLiteral("a"));
    ASSERT_NE(item.text().fontFace, nullptr);
    EXPECT_EQ(item.text().font.family(), QStringLiteral("WenQuanYi Micro Hei"));
}

TEST_F(FontSelection, freeTypeStartsOncePerProcess)
{
    const bool startedBefore = ft2_plugin_initialized();
    KPLogCapture log;
    TextTestItem first;
    TextTestItem second;
    EXPECT_TRUE(ft2_plugin_initialized());
    EXPECT_NE(ft2_library(), nullptr);
    EXPECT_EQ(log.linesWithContent(QStringLiteral("init_plugin is successful")).size(),
              startedBefore ? 0 : 1);
}

TEST_F(FontSelection, withoutAnyFontNothingIsDrawnAndTextIsKept)
{
    ft2_set_font_files({{QStringLiteral("/nonexistent/only.ttf"), 0}});
    TextTestItem item;
    item.placeWith(QStringLiteral("hello"));

    EXPECT_EQ(item.text().fontFace, nullptr);
    EXPECT_EQ(item.text().text, QStringLiteral("hello"));
    QImage blank(item.canvas.size(), item.canvas.format());
    blank.fill(Qt::white);
    EXPECT_EQ(item.canvas, blank) << "not even the frame is drawn";

    obs_data_t *record = item.data.toData();
    EXPECT_STREQ(obs_data_get_string(record, "kp_wb_text"), "hello");
    obs_data_release(record);
}

TEST_F(FontSelection, sizeChangeReopensTheFaceWithAnEmptyCache)
{
    TextTestItem item;
    item.placeWith(QStringLiteral("abca"));
    ft2_source &source = item.text();
    EXPECT_EQ(filledCacheSlots(source), 3) << "one entry per distinct glyph";
    EXPECT_EQ(source.fontFace->size->metrics.y_ppem, 20);

    source.fontSize = 19;
    KPLogCapture log;
    source.resetFace();
    EXPECT_EQ(filledCacheSlots(source), 0);
    ASSERT_NE(source.fontFace, nullptr);
    EXPECT_EQ(source.fontFace->size->metrics.y_ppem, 19);
    const QStringList opened = fontOpenLines(log);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].startsWith(ft2_font_files().first().path));
}

TEST_F(FontSelection, glyphCacheAcrossTheBasicPlaneMatchesFreeTypeAndFreesEachEntryOnce)
{
    TextTestItem item;
    item.placeWith(QStringLiteral("a"));
    ft2_source &source = item.text();
    ASSERT_NE(source.fontFace, nullptr);
    source.resetFace();
    const long before = bnum_allocs();
    int mismatches = 0;
    for (uint code = 0; code <= 0xffff; ++code) {
        if (QChar::isSurrogate(code))
            continue;
        const QChar ch(code);
        const int cached = source.glyphAdvance(ch);
        FT_Error error = 0;
        int expected = 0;
        {
            QMutexLocker lock(ft2_face_mutex());
            error = FT_Load_Glyph(source.fontFace, FT_Get_Char_Index(source.fontFace, code), 0);
            expected = int(source.fontFace->glyph->advance.x >> 6);
        }
        mismatches += error == 0 && (cached != expected || source.glyphAdvance(ch) != cached);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(bnum_allocs(), before);
    source.resetFace();
    // Hundreds of pages and thousands of entries were made; other libobs
    // threads may hold a block or two of their own at this moment.
    EXPECT_LE(std::labs(bnum_allocs() - before), 2);
}
