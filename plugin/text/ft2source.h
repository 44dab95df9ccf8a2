#pragma once

// The text state of one text box: its text, cursor and selection, the
// character-by-character layout measured with FreeType, and its painting.

#include <QColor>
#include <QFont>
#include <QLine>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <ft2build.h>
#include FT_FREETYPE_H

class KPTextItemData;
class QPainter;

// One laid-out character in canvas pixels. A newline cell has width 0.
// Characters right of the canvas get no cell, so a cell carries the index of
// its character in the text.
struct TextCell
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    QChar ch;
    int index = 0;
};

// A glyph cache entry: the glyph's horizontal advance in whole pixels.
struct ft2_glyph_info
{
    int advance = 0;
};

class ft2_source
{
public:
    // Glyph indices below this have a cache slot; larger ones are measured
    // on every layout.
    static constexpr int GlyphCacheSize = 65535;
    // The cache is indexed directly by glyph index, in pages of this many
    // slots made on first use: a box showing a few characters holds a few
    // pages, not a slot for every glyph a font could have.
    static constexpr int GlyphPageSize = 256;
    static constexpr int GlyphPageCount = (GlyphCacheSize + GlyphPageSize - 1) / GlyphPageSize;
    static constexpr unsigned int MinimumFontSize = 9;

    explicit ft2_source(KPTextItemData *owner);
    ~ft2_source();

    ft2_source(const ft2_source &) = delete;
    ft2_source &operator=(const ft2_source &) = delete;

    void prepareUpdate();
    void updateText(const QString &newText);
    void setFocusState(bool state);

    int lineHeight() const;
    bool hasSelection() const;
    QLine getAnchorIndexLine(int index) const;
    int indexAt(const QPoint &point) const;
    void setSelectionPoints(const QPoint &first, const QPoint &second);
    QRect textRect() const;
    QRect frameRect() const;

    // Editing.
    void insertText(const QString &inserted);
    void do_backspace_key();
    void doCopy();
    void doCut();
    void doPaste();
    void selectAll();
    void moveCursorLeft();
    void moveCursorRight();
    void moveCursorLine(bool up);

    void resetFace();
    // A character's advance in whole pixels, measured once per glyph.
    int glyphAdvance(QChar ch);
    // The cached entry of a glyph index, null when it has none.
    const ft2_glyph_info *cachedGlyph(FT_UInt glyphIndex) const;
    // Lays out and paints the text onto a canvas of the given size.
    void render(QPainter *painter, const QSize &canvas, const QColor &textColor);

    bool focused = false;
    bool cursorVisible = false;
    bool selectByPoints = false;
    bool faceResetPending = true;
    quint32 fontSize = 20;
    int textX = 0;
    int textY = 0;
    quint32 maxWidth = 800;
    quint32 maxHeight = 400;
    int lineSpacing = 2;
    int lineGap = 8;
    quint32 anchorStart = 0;
    quint32 anchorEnd = 0;
    QPoint selectPoint1;
    QPoint selectPoint2;
    int textRight = 0;
    int textBottom = 0;
    QFont font;
    ft2_glyph_info **glyphPages[GlyphPageCount] = {};
    FT_Face fontFace = nullptr;
    KPTextItemData *owner = nullptr;
    QList<TextCell> cells;
    // Index of the first character the layout stopped at (below the canvas),
    // or the text's length when every line was reached.
    int layoutEnd = 0;
    QList<QRect> selectionRects;
    QString text;

private:
    // Result of one layout pass.
    struct Layout
    {
        QList<QRect> highlight;
        QList<int> drawn;
        bool overflow = false;
    };

    // The cell of the character at or before the text index, or -1.
    int cellAtOrBefore(int index) const;
    ft2_glyph_info *&glyphSlot(FT_UInt glyphIndex);
    int measureGlyph(FT_UInt glyphIndex) const;
    void clearGlyphCache();
    Layout layoutText();
    bool cellSelected(int index, const QRect &cell) const;
    bool selectionTest(const QRect &cell) const;
    void buildSelectionRects();
    int snapToLineTop(int y) const;
    void updateExtent();
    void clampAnchors();
    void paintLayout(QPainter *painter, const Layout &layout, const QColor &textColor);
    void paintFrameAndCursor(QPainter *painter);
};
