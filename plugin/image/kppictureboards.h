#pragma once

#include <QString>

#include <obs.h>

#include <functional>

class KPWhiteBoardObject;

// The drawings of a picture source as its settings keep them: under
// "kp_picture_boards", one record per picture file, {"file": path,
// "kp_wb_data": the board's content exactly as a whiteboard saves it}. A
// source whose boards hold nothing has no such key, as scenes had before.
class KPPictureBoards
{
public:
    static constexpr const char *Key = "kp_picture_boards";
    // Records past this many are logged and dropped.
    static constexpr size_t MaxPictures = 4096;

    // A new record of the board's visible items, or null when it has none.
    static obs_data_t *save(KPWhiteBoardObject *board, const QString &path);
    // Calls take with every record of the settings that names a file, in
    // order; the others are logged. The record stays the caller's.
    static void read(obs_data_t *settings, const std::function<void(const QString &, obs_data_t *)> &take);
    // Writes the records under the key, or removes the key when there are none.
    static void write(obs_data_t *settings, obs_data_array_t *records);
    static QString path(obs_data_t *record);
};
