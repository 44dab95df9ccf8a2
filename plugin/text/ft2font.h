#pragma once

// Process-wide FreeType start and the choice of a text item's font file.

#include <QList>
#include <QString>

#include <ft2build.h>
#include FT_FREETYPE_H

class QMutex;
class ft2_source;

// One candidate font file with the face index to open in it.
struct ft2_font_file
{
    QString path;
    int index = 0;
};

// Starts FreeType once per process. A failed start is retried by the next call.
void init_plugin();

// Opens the first file of the font list that FreeType accepts as the source's
// face, at the source's font size, and names the source's QFont after its
// family. False when none opens.
bool init_font(ft2_source *source);

// The process-wide library handle; null until init_plugin succeeded.
FT_Library ft2_library();
bool ft2_plugin_initialized();

// Lets go of a face opened by init_font. Text boxes of one font file and size
// share one face, closed when the last of them lets go.
void ft2_done_face(FT_Face face);

// FreeType calls on a face (sizes, glyph lookups and loads) take this lock,
// since text boxes on different boards share faces across threads.
QMutex *ft2_face_mutex();

// The ordered list of font files tried by init_font. Tests may replace it;
// an empty list given to the setter restores the platform's own list.
QList<ft2_font_file> ft2_font_files();
void ft2_set_font_files(const QList<ft2_font_file> &files);
