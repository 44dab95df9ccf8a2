#include "environment.h"

#include <cstdlib>

namespace vendor {
namespace rtc {

long Environment::number(const char *name, long fallback, long max)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value >= 0 && value <= max ? value : fallback;
}

std::string Environment::text(const char *name, const char *fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? text : fallback;
}

bool Environment::flag(const char *name)
{
    const char *text = std::getenv(name);
    return text && std::string(text) == "1";
}

} // namespace rtc
} // namespace vendor
