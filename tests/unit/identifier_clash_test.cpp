// The fleet's report of cameras that answer with one identifier.
#include <gtest/gtest.h>

#include "fleet/identifier_clash.h"

TEST(IdentifierClash, FoundTableLinesAndJsonMarks) {
  const std::vector<FleetTarget> found = {{"127.0.0.2", "CAM1"}, {"127.0.0.3", "CAM2"},
                                          {"127.0.0.5", "CAM1"}, {"127.0.0.6", ""},
                                          {"127.0.0.7", ""}};
  const auto clashes = identifierClashes(found);
  ASSERT_EQ(clashes.size(), 1u);  // cameras named by address never clash
  EXPECT_EQ(clashLines(clashes), "warning: 2 cameras answer as CAM1: 127.0.0.2, 127.0.0.5\n");
  nlohmann::ordered_json rows = {{{"identifier", "CAM1"}, {"address", "127.0.0.2"}},
                                 {{"identifier", "CAM2"}, {"address", "127.0.0.3"}},
                                 {{"identifier", "CAM1"}, {"address", "127.0.0.5"}}};
  markClashes(rows, clashes);
  EXPECT_EQ(rows[0]["same_identifier_as"], nlohmann::ordered_json({"127.0.0.5"}));
  EXPECT_FALSE(rows[1].contains("same_identifier_as"));
  EXPECT_EQ(rows[2]["same_identifier_as"], nlohmann::ordered_json({"127.0.0.2"}));
  EXPECT_EQ(clashLines(identifierClashes({{"127.0.0.2", "CAM1"}})), "");
}
