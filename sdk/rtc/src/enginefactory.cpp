#include <cstdio>
#include <cstdlib>
#include <string>

#include "janusengine.h"
#include "simengine.h"

namespace {

// The simulation unless the environment asks for the real engine.
vendor::rtc::IRtcEngine *engineFromEnvironment()
{
    const char *choice = std::getenv("VENDOR_RTC_ENGINE");
    const std::string name = choice ? choice : "";
    if (name == "janus")
        return new vendor::rtc::JanusEngine();
    if (!name.empty() && name != "sim")
        std::fprintf(stderr, "vendor_rtc: unknown engine \"%s\" in VENDOR_RTC_ENGINE, using the simulation\n",
                     name.c_str());
    return new vendor::rtc::SimEngine();
}

} // namespace

vendor::rtc::IRtcEngine *createRtcEngine()
{
    return engineFromEnvironment();
}

vendor::rtc::IRtcEngine *createRtcEngineNamed(const char *name)
{
    const std::string chosen = name ? name : "";
    if (chosen == "janus")
        return new vendor::rtc::JanusEngine();
    if (chosen == "sim")
        return new vendor::rtc::SimEngine();
    return engineFromEnvironment();
}
