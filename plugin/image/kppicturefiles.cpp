#include "kppicturefiles.h"

#include "kpslideshow.h"

#include <strings.h>

const char *KPPictureFiles::pathFilter()
{
    return "All formats (*.bmp *.tga *.png *.jpeg *.jpg *.gif);;BMP Files (*.bmp);;"
           "Targa Files (*.tga);;PNG Files (*.png);;JPEG Files (*.jpeg *.jpg);;GIF Files (*.gif)";
}

const char *KPPictureFiles::listFilter()
{
    return "Image files (*.bmp *.tga *.png *.jpeg *.jpg *.gif)";
}

QString KPPictureFiles::folderOf(const QString &path)
{
    QString folder = path;
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const int slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : folder.left(slash + 1);
}

bool is_image_extension(const char *ext)
{
    if (!ext)
        return false;
    for (const char *known : {".bmp", ".tga", ".png", ".jpeg", ".jpg", ".gif"}) {
        if (strcasecmp(ext, known) == 0)
            return true;
    }
    return false;
}
