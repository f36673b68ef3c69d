// Where tovarin-fleet's --login password comes from: none of the ways but
// USER:PASSWORD puts it where ps shows it, and a file others can read is
// refused rather than used.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "fleet/password_source.h"
#include "temp_folder.h"

namespace {

std::function<std::optional<std::string>(const std::string&)> answering(std::string typed,
                                                                        int* asked) {
  return [typed, asked](const std::string&) {
    ++*asked;
    return std::optional<std::string>(typed);
  };
}

TEST(PasswordSource, FileThenEnvironmentThenPromptAndWarnsOnlyForTheCommandLine) {
  TempFolder dir;
  const auto file = dir.path() / "pw";
  writeFile(file, "from:file\r\nsecond line");
  ::chmod(file.c_str(), 0600);
  int asked = 0;

  PasswordSources s{"operator", file.string(), "from-env", answering("typed", &asked)};
  AccountChoice c = chooseAccount(s);
  EXPECT_EQ("", c.error);
  EXPECT_EQ("operator", c.account.user);
  EXPECT_EQ("from:file", c.account.password);
  EXPECT_EQ("", c.warning);

  s.passwordFile.clear();
  EXPECT_EQ("from-env", chooseAccount(s).account.password);
  // An empty variable is a password too (the camera may have none).
  s.environment = "";
  EXPECT_EQ("", chooseAccount(s).account.password);
  EXPECT_EQ(0, asked);

  s.environment.reset();
  c = chooseAccount(s);
  EXPECT_EQ("typed", c.account.password);
  EXPECT_EQ(1, asked);
  EXPECT_EQ("", c.warning);

  // Without a terminal: the empty password, as before.
  s.prompt = nullptr;
  EXPECT_EQ("", chooseAccount(s).account.password);

  s.login = "operator:pa:ss";
  s.environment = "from-env";
  c = chooseAccount(s);
  EXPECT_EQ("pa:ss", c.account.password);
  EXPECT_NE(std::string::npos, c.warning.find("visible to every user")) << c.warning;
}

TEST(PasswordSource, RefusesAFileOthersCanReadAndContradictoryOptions) {
  TempFolder dir;
  const auto file = dir.path() / "pw";
  writeFile(file, "secret\n");
  for (const mode_t mode : {0640, 0604, 0644}) {
    ::chmod(file.c_str(), mode);
    const AccountChoice c = chooseAccount({"admin", file.string(), std::nullopt, nullptr});
    EXPECT_NE(std::string::npos, c.error.find("other users can read it")) << mode << c.error;
    EXPECT_EQ("", c.account.password);
  }
  ::chmod(file.c_str(), 0400);
  EXPECT_EQ("secret", chooseAccount({"admin", file.string(), {}, nullptr}).account.password);

  EXPECT_NE("", chooseAccount({"admin", (dir.path() / "none").string(), {}, nullptr}).error);
  EXPECT_NE("", chooseAccount({"admin", dir.path().string(), {}, nullptr}).error);
  EXPECT_NE("", chooseAccount({"admin:x", file.string(), {}, nullptr}).error);
  EXPECT_NE("", chooseAccount({"", file.string(), {}, nullptr}).error);
  EXPECT_NE("", chooseAccount({":x", "", {}, nullptr}).error);
  // No --login: the default account only, whatever the environment holds.
  const AccountChoice none = chooseAccount({"", "", "from-env", nullptr});
  EXPECT_FALSE(none.given);
  EXPECT_EQ("", none.account.password);
}

// The prompt on a real (pseudo) terminal: what is typed is never echoed,
// and the terminal gets its echo back afterwards.
TEST(PasswordSource, PromptReadsALineWithoutEchoAndRestoresTheTerminal) {
  int master = -1, slave = -1;
  ASSERT_EQ(0, ::openpty(&master, &slave, nullptr, nullptr, nullptr));
  std::optional<std::string> line;
  std::thread reader([&] { line = promptWithoutEcho(slave, "Password for admin: "); });
  std::string screen;
  char buffer[256];
  // The prompt is shown before anything is typed.
  while (screen.find("Password for admin: ") == std::string::npos) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    screen.append(buffer, static_cast<std::size_t>(n));
  }
  ASSERT_EQ(7, ::write(master, "s3cret\n", 7));
  reader.join();
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ("s3cret", *line);
  termios after{};
  ASSERT_EQ(0, ::tcgetattr(slave, &after));
  EXPECT_TRUE(after.c_lflag & ECHO);
  // Only the line feed came back.
  ::close(slave);
  ssize_t n = 0;
  while ((n = ::read(master, buffer, sizeof buffer)) > 0)
    screen.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  EXPECT_EQ(std::string::npos, screen.find("s3cret")) << screen;
}

}  // namespace
