#include "ft2font.h"

#include "ft2source.h"
#include "kplog.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>

#include <tuple>

namespace {

FT_Library s_library = nullptr;
bool s_pluginInitialized = false;

// FreeType requires face creation and destruction on one library to be
// serialised; boards lock only themselves, so text items of different
// boards could otherwise open faces at the same time.
QMutex s_libraryMutex;

QList<ft2_font_file> &overriddenFontFiles()
{
    static QList<ft2_font_file> files;
    return files;
}

QList<ft2_font_file> platformFontFiles()
{
#ifdef _WIN32
    const char *paths[] = {
        "C:\\WINDOWS\\Fonts\\msyhbd.ttc",  "C:\\WINDOWS\\Fonts\\simfang.ttf",
        "C:\\WINDOWS\\Fonts\\simsun.ttc",  "C:\\WINDOWS\\Fonts\\DengXian.ttf",
        "C:\\WINDOWS\\Fonts\\simhei.ttf",  "C:\\WINDOWS\\Fonts\\STFANGSO.TTF",
        "C:\\WINDOWS\\Fonts\\Dengb.ttf",   "C:\\WINDOWS\\Fonts\\msyh.TTF",
        "C:\\WINDOWS\\Fonts\\simkai.TTF",  "C:\\WINDOWS\\Fonts\\simsun.TTF",
    };
#else
    // CJK-capable fonts first, so Chinese text measures and draws with real glyphs.
    const char *paths[] = {
        "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    };
#endif
    QList<ft2_font_file> files;
    for (const char *path : paths)
        files.append({QString::fromUtf8(path), 0});
    return files;
}

// One open face shared by every text box of its file, face index and size.
struct SharedFace
{
    FT_Face face = nullptr;
    int users = 0;
};

using FaceKey = std::tuple<QString, int, unsigned>;

QMap<FaceKey, SharedFace> &sharedFaces()
{
    static QMap<FaceKey, SharedFace> faces;
    return faces;
}

// Called with the library lock held.
FT_Error acquireFace(const ft2_font_file &file, unsigned size, FT_Face *face)
{
    const FaceKey key(file.path, file.index, size);
    auto it = sharedFaces().find(key);
    if (it != sharedFaces().end()) {
        ++it->users;
        *face = it->face;
        return 0;
    }
    // Without a started library FreeType refuses every file with an error
    // of its own, which is logged like any other.
    const FT_Error error = FT_New_Face(s_library, file.path.toLocal8Bit().constData(), file.index, face);
    if (error == 0)
        sharedFaces().insert(key, SharedFace{*face, 1});
    return error;
}

FT_Face openFirstFace(ft2_source *source)
{
    for (const ft2_font_file &file : ft2_font_files()) {
        FT_Face face = nullptr;
        FT_Error error;
        {
            QMutexLocker lock(&s_libraryMutex);
            error = acquireFace(file, source->fontSize, &face);
        }
        if (error == 0) {
            KP_LOG(1, QStringLiteral("init_font font path=%1,index=%2")
                          .arg(file.path)
                          .arg(file.index));
            const QString family = QString::fromUtf8(face->family_name);
            KP_LOG(2, QStringLiteral("family=%1").arg(family));
            source->font = QFont(family, -1, -1, false);
            return face;
        }
        KP_LOG(1, QStringLiteral("init_font font path=%1,index=%2,error=%3")
                      .arg(file.path)
                      .arg(file.index)
                      .arg(error));
    }
    return nullptr;
}

} // namespace

void init_plugin()
{
    QMutexLocker lock(&s_libraryMutex);
    if (s_pluginInitialized)
        return;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        library = nullptr;
    if (library) {
        s_library = library;
        KP_LOG(1, QStringLiteral("init_plugin is successful"));
        s_pluginInitialized = true;
    } else {
        KP_LOG(1, QStringLiteral("FT2-text: Failed to initialize FT2."));
    }
}

bool init_font(ft2_source *source)
{
    KP_LOG_SCOPE();
    if (!source)
        return false;
    if (source->fontFace) {
        ft2_done_face(source->fontFace);
        source->fontFace = nullptr;
    }
    source->fontFace = openFirstFace(source);
    return source->fontFace != nullptr;
}

FT_Library ft2_library()
{
    return s_library;
}

bool ft2_plugin_initialized()
{
    return s_pluginInitialized;
}

void ft2_done_face(FT_Face face)
{
    if (!face)
        return;
    QMutexLocker lock(&s_libraryMutex);
    for (auto it = sharedFaces().begin(); it != sharedFaces().end(); ++it) {
        if (it->face == face) {
            if (--it->users == 0) {
                FT_Done_Face(face);
                sharedFaces().erase(it);
            }
            return;
        }
    }
    FT_Done_Face(face);
}

QMutex *ft2_face_mutex()
{
    return &s_libraryMutex;
}

QList<ft2_font_file> ft2_font_files()
{
    const QList<ft2_font_file> &overridden = overriddenFontFiles();
    return overridden.isEmpty() ? platformFontFiles() : overridden;
}

void ft2_set_font_files(const QList<ft2_font_file> &files)
{
    overriddenFontFiles() = files;
}
