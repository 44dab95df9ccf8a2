#include "simconfig.h"

#include <cstdlib>
#include <sstream>

namespace vendor {
namespace rtc {
namespace {

// Unset, empty, negative or malformed values keep the default.
long readNumber(const char *name, long fallback)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0)
        return fallback;
    return value;
}

bool readFlag(const char *name)
{
    const char *text = std::getenv(name);
    return text && std::string(text) == "1";
}

} // namespace

SimConfig SimConfig::fromEnvironment()
{
    SimConfig config;
    config.joinDelayMs = static_cast<int>(readNumber("VENDOR_RTC_SIM_JOIN_DELAY_MS", config.joinDelayMs));
    config.remoteDelayMs = static_cast<int>(readNumber("VENDOR_RTC_SIM_REMOTE_DELAY_MS", config.remoteDelayMs));
    config.leaveDelayMs = static_cast<int>(readNumber("VENDOR_RTC_SIM_LEAVE_DELAY_MS", config.leaveDelayMs));
    config.statsPeriodMs = static_cast<int>(readNumber("VENDOR_RTC_SIM_STATS_PERIOD_MS", config.statsPeriodMs));
    config.remoteUid = static_cast<uid_t>(readNumber("VENDOR_RTC_SIM_REMOTE_UID", config.remoteUid));
    config.failInitialize = readFlag("VENDOR_RTC_SIM_INIT_FAIL");
    config.nullVersion = readFlag("VENDOR_RTC_SIM_NULL_VERSION");
    config.reconnect = readFlag("VENDOR_RTC_SIM_RECONNECT");

    const char *inject = std::getenv("VENDOR_RTC_SIM_INJECT");
    std::istringstream names(inject ? inject : "");
    std::string name;
    while (std::getline(names, name, ',')) {
        config.injectError |= name == "error";
        config.injectBanned |= name == "banned";
        config.injectTokenExpiry |= name == "token";
        config.injectConnectionChange |= name == "connection";
    }
    return config;
}

} // namespace rtc
} // namespace vendor
