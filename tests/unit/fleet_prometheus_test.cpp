// The metrics file of `search --login --prometheus`: one sample per camera
// in the text exposition format, label values escaped so that any bytes a
// camera sends cannot break a line or a label.
#include <gtest/gtest.h>

#include "fleet/prometheus_text.h"

namespace {

DeviceSurvey camera(std::string id, std::string address, std::string hardware, int version) {
  DeviceSurvey s;
  s.target = {std::move(address), std::move(id)};
  s.loggedIn = !hardware.empty();
  s.hardware = std::move(hardware);
  s.version = version;
  return s;
}

TEST(Prometheus, LabelValuesEscapeQuoteBackslashNewlineAndBadBytes) {
  EXPECT_EQ("CAM1", prometheusLabelValue("CAM1"));
  EXPECT_EQ("a\\\"b", prometheusLabelValue("a\"b"));
  // escapedText doubles the backslash, the format doubles each again.
  EXPECT_EQ("a\\\\\\\\b", prometheusLabelValue("a\\b"));
  EXPECT_EQ("x\\\\x0ay\\\\xff", prometheusLabelValue("x\ny\xff"));
}

TEST(Prometheus, EveryCameraIsUpOrDownAndLoggedInOnesCarryHardwareAndFirmware) {
  std::vector<DeviceSurvey> found = {camera("CAM1", "127.0.3.1", "47RKT", 2010),
                                     camera("CAM\"2", "127.0.3.2", "", 0)};
  found[0].updatePending = true;
  const std::string text = surveysPrometheus(found);
  const char* expected =
      "# HELP tovarin_camera_up 1 when the camera accepted the login, else 0.\n"
      "# TYPE tovarin_camera_up gauge\n"
      "tovarin_camera_up{identifier=\"CAM1\",address=\"127.0.3.1\"} 1\n"
      "tovarin_camera_up{identifier=\"CAM\\\"2\",address=\"127.0.3.2\"} 0\n"
      "# HELP tovarin_camera_info Hardware and firmware version the camera reported.\n"
      "# TYPE tovarin_camera_info gauge\n"
      "tovarin_camera_info{identifier=\"CAM1\",address=\"127.0.3.1\",hardware=\"47RKT\","
      "firmware=\"2010\"} 1\n"
      "# HELP tovarin_camera_firmware_version Firmware version the camera reported.\n"
      "# TYPE tovarin_camera_firmware_version gauge\n"
      "tovarin_camera_firmware_version{identifier=\"CAM1\",address=\"127.0.3.1\"} 2010\n"
      "# HELP tovarin_camera_update_pending 1 when the camera holds an update that completes "
      "at its next reboot.\n"
      "# TYPE tovarin_camera_update_pending gauge\n"
      "tovarin_camera_update_pending{identifier=\"CAM1\",address=\"127.0.3.1\"} 1\n";
  EXPECT_EQ(expected, text);
}

}  // namespace
