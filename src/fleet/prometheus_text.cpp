#include "fleet/prometheus_text.h"

#include "fleet/escaped_text.h"

namespace {

std::string labels(const DeviceSurvey& s, bool withFirmware) {
  std::string text = "{identifier=\"" + prometheusLabelValue(s.target.identifier) +
                     "\",address=\"" + prometheusLabelValue(s.target.address) + "\"";
  if (withFirmware)
    text += ",hardware=\"" + prometheusLabelValue(s.hardware) + "\",firmware=\"" +
            std::to_string(s.version) + "\"";
  return text + "}";
}

void family(std::string& out, const char* name, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
}

}  // namespace

std::string prometheusLabelValue(std::string_view bytes) {
  std::string out;
  for (const char c : escapedText(bytes)) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string surveysPrometheus(const std::vector<DeviceSurvey>& surveys) {
  std::string out;
  family(out, "tovarin_camera_up", "1 when the camera accepted the login, else 0.");
  for (const DeviceSurvey& s : surveys)
    out += "tovarin_camera_up" + labels(s, false) + (s.loggedIn ? " 1\n" : " 0\n");
  family(out, "tovarin_camera_info", "Hardware and firmware version the camera reported.");
  for (const DeviceSurvey& s : surveys)
    if (s.loggedIn) out += "tovarin_camera_info" + labels(s, true) + " 1\n";
  family(out, "tovarin_camera_firmware_version", "Firmware version the camera reported.");
  for (const DeviceSurvey& s : surveys)
    if (s.loggedIn)
      out += "tovarin_camera_firmware_version" + labels(s, false) + " " +
             std::to_string(s.version) + "\n";
  family(out, "tovarin_camera_update_pending",
         "1 when the camera holds an update that completes at its next reboot.");
  for (const DeviceSurvey& s : surveys)
    if (s.loggedIn)
      out +=
          "tovarin_camera_update_pending" + labels(s, false) + (s.updatePending ? " 1\n" : " 0\n");
  return out;
}
