#pragma once

// GLib and GStreamer are not built for the thread sanitizer, which therefore
// cannot see that GStreamer's threads call back only after the caller has
// built what they use: without these two, everything written before the
// pipeline ran would look raced by each callback. Both do nothing in other
// builds.

#if defined(__SANITIZE_THREAD__)
#define KP_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KP_THREAD_SANITIZER 1
#endif
#endif
#if KP_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace vendor {
namespace rtc {

// Before the pipeline runs: what was written so far is the callbacks' to see.
inline void handOverToCallbacks(void *data)
{
#if KP_THREAD_SANITIZER
    __tsan_release(data);
#else
    (void)data;
#endif
}

// At the start of each callback given data.
template <typename T>
T *takeOverInCallback(void *data)
{
#if KP_THREAD_SANITIZER
    __tsan_acquire(data);
#endif
    return static_cast<T *>(data);
}

} // namespace rtc
} // namespace vendor
