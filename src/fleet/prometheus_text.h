// `search --login --prometheus FILE`: what each camera reported, in the
// Prometheus text exposition format, for node_exporter's textfile collector
// (which reads a whole *.prom file at each scrape, so the file is replaced
// atomically by the caller).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session/device_survey.h"

// A label value as the format wants it: backslash, double quote and line
// feed escaped. Bytes from the network go through escapedText first, so
// the value is valid UTF-8.
std::string prometheusLabelValue(std::string_view bytes);

// tovarin_camera_up (1 logged in, 0 not) for every camera found, and for the
// logged-in ones tovarin_camera_info{...,hardware,firmware} 1 and
// tovarin_camera_firmware_version and tovarin_camera_update_pending.
std::string surveysPrometheus(const std::vector<DeviceSurvey>& surveys);
