#pragma once

#include <QColor>
#include <QList>
#include <QString>

// Writes an endlessly looping animated GIF whose frames are each one flat
// colour, shown for delayCs hundredths of a second each. Qt reads GIFs but
// cannot write them, and the tests must make their own pictures. The colour
// table holds the first four colours; frame i shows entry i % 4.
bool writeFlatGif(const QString &path, int width, int height, const QList<QColor> &frames, int delayCs);
