#pragma once

#include <QString>

// What the picture sources agree on about picture files: the property
// sheets' file filters and the folder a picture's path lies in.
class KPPictureFiles
{
public:
    // For a "file" path property: every format first, then each alone.
    static const char *pathFilter();
    // For the slideshow's editable file list.
    static const char *listFilter();
    // The folder of path with a closing slash ("\" taken as "/"), or empty
    // when path names no folder; a property sheet opens its browser there.
    static QString folderOf(const QString &path);
};
