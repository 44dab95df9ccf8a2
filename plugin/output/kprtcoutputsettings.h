#pragma once

// What the "kp_rtc_output" output is told to do, read from its libobs
// settings with every value checked: a value of the wrong type, zero or out
// of range is replaced or clamped, with a log line.

#include <obs.h>

#include <QString>

struct KPRtcOutputSettings
{
    QString server;
    QString channel;
    QString token;
    QString codec = QStringLiteral("vp8"); // "vp8" or "h264"
    unsigned int uid = 0;
    int width = 0;
    int height = 0;
    int fps = 30;
    int bitrateKbps = 1500;

    // canvasWidth and canvasHeight give the default size: the canvas, scaled
    // down to fit 1280x720 when larger.
    static KPRtcOutputSettings read(obs_data_t *settings, int canvasWidth, int canvasHeight);
    static void setDefaults(obs_data_t *settings);
    static obs_properties_t *properties();
};
