#include "simconfig.h"

#include <cstdlib>
#include <sstream>

#include "environment.h"

namespace vendor {
namespace rtc {

SimConfig SimConfig::fromEnvironment()
{
    SimConfig config;
    config.joinDelayMs = static_cast<int>(Environment::number("VENDOR_RTC_SIM_JOIN_DELAY_MS", config.joinDelayMs));
    config.remoteDelayMs = static_cast<int>(Environment::number("VENDOR_RTC_SIM_REMOTE_DELAY_MS", config.remoteDelayMs));
    config.leaveDelayMs = static_cast<int>(Environment::number("VENDOR_RTC_SIM_LEAVE_DELAY_MS", config.leaveDelayMs));
    config.statsPeriodMs = static_cast<int>(Environment::number("VENDOR_RTC_SIM_STATS_PERIOD_MS", config.statsPeriodMs));
    config.remoteUid = static_cast<uid_t>(Environment::number("VENDOR_RTC_SIM_REMOTE_UID", config.remoteUid));
    config.failInitialize = Environment::flag("VENDOR_RTC_SIM_INIT_FAIL");
    config.nullVersion = Environment::flag("VENDOR_RTC_SIM_NULL_VERSION");
    config.reconnect = Environment::flag("VENDOR_RTC_SIM_RECONNECT");

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
