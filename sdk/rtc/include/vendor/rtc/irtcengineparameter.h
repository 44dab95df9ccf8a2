#pragma once

namespace vendor {
namespace rtc {

// Low-level engine settings, obtained with IRtcEngine::queryInterface
// (INTERFACE_ID_PARAMETER) and given back with release() after each use.
class IRtcEngineParameter
{
public:
    virtual void release() = 0;
    // Sets one boolean key such as "rtc.audio.set_default_mute_peers".
    virtual int setBool(const char *key, bool value) = 0;
    // Applies a JSON object of settings, e.g. {"che.hardware_encoding":0}.
    virtual int setParameters(const char *parameters) = 0;

protected:
    virtual ~IRtcEngineParameter() = default;
};

} // namespace rtc
} // namespace vendor
