#pragma once

#include <QList>
#include <QString>

// Picture files that must never load, each written into a folder by the
// tests: a header claiming a huge canvas, broken data, and paths that are no
// regular file at all.
struct HostilePicture
{
    QString name;
    QString path;
};

QList<HostilePicture> writeHostilePictures(const QString &dir);
