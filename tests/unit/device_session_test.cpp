#include "session/device_session.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(DeviceSessionTest, CredentialFieldCutsOnlyAtAWholeCharacter) {
  char field[KESTRUM_CREDENTIAL_SIZE];
  std::string name;
  for (int i = 0; i < 22; ++i) name += "\xe7\x94\xa8";  // 22 three-byte characters, 66 bytes
  setCredentialField(field, name);
  EXPECT_EQ(std::string(field), name.substr(0, 63));
  EXPECT_EQ(field[63], '\0');

  setCredentialField(field, std::string(70, 'a'));
  EXPECT_EQ(std::string(field), std::string(64, 'a'));
  // A character that ends exactly at byte 64 stays.
  setCredentialField(field, std::string(61, 'a') + "\xe7\x94\xa8" + "b");
  EXPECT_EQ(std::strlen(field), 64u);
}
