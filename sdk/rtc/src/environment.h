#pragma once

#include <limits>
#include <string>

namespace vendor {
namespace rtc {

// The engines' settings from the environment, read when an engine is
// initialised. Unset, empty or malformed values keep the fallback.
class Environment
{
public:
    // A whole number in [0, max] in decimal.
    static long number(const char *name, long fallback, long max = std::numeric_limits<long>::max());
    static std::string text(const char *name, const char *fallback);
    // True only for "1".
    static bool flag(const char *name);
};

} // namespace rtc
} // namespace vendor
