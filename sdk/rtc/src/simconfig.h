#pragma once

#include <string>

#include "vendor/rtc/rtcbase.h"

namespace vendor {
namespace rtc {

// How the simulated engine behaves, read from the environment when the engine
// is initialised (see the README for the variables and their defaults).
struct SimConfig
{
    int joinDelayMs = 200;
    int remoteDelayMs = 300;
    int leaveDelayMs = 50;
    int statsPeriodMs = 2000;
    uid_t remoteUid = 2001; // 0: no remote user joins
    bool failInitialize = false;
    bool nullVersion = false;
    bool reconnect = false;
    bool injectError = false;
    bool injectBanned = false;
    bool injectTokenExpiry = false;
    bool injectConnectionChange = false;

    static SimConfig fromEnvironment();
};

} // namespace rtc
} // namespace vendor
