#pragma once

// The host's record of the "kp_rtc_output" output type: free functions with
// libobs's callback signatures, each forwarding to the KPRtcOutput it created.

#include <obs-module.h>

void kp_fill_rtc_output_info(obs_output_info *info);
