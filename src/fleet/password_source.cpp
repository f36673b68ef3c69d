#include "fleet/password_source.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

namespace {

std::string errnoText() { return std::generic_category().message(errno); }

// The first line, without its line end: "printf secret > file" and an
// editor's "secret\n" give the same password.
std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A prompt interrupted by Ctrl+C must not leave the terminal without echo.
int g_ttyFd = -1;
termios g_saved{};
void restoreAndRaise(int sig) {
  if (g_ttyFd >= 0) ::tcsetattr(g_ttyFd, TCSAFLUSH, &g_saved);
  std::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

std::optional<std::string> readPasswordFile(const std::string& path, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *why = errnoText();
    return std::nullopt;
  }
  // Checked on the opened file, so it cannot be swapped after the check.
  struct stat st {};
  std::optional<std::string> password;
  if (::fstat(fd, &st) != 0) {
    *why = errnoText();
  } else if (!S_ISREG(st.st_mode)) {
    *why = "is not a regular file";
  } else if (st.st_mode & (S_IRGRP | S_IROTH)) {
    *why = "other users can read it; make it readable by its owner only (chmod 600)";
  } else {
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
    if (n < 0)
      *why = errnoText();
    else
      password = firstLine(text);
  }
  ::close(fd);
  return password;
}

std::optional<std::string> promptWithoutEcho(int fd, const std::string& prompt) {
  termios saved{};
  if (::tcgetattr(fd, &saved) != 0) return std::nullopt;
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  g_saved = saved;
  g_ttyFd = fd;
  struct sigaction restore {
  }, old[3];
  restore.sa_handler = restoreAndRaise;
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int i = 0; i < 3; ++i) ::sigaction(signals[i], &restore, &old[i]);
  std::optional<std::string> line;
  if (::tcsetattr(fd, TCSAFLUSH, &quiet) == 0) {
    [[maybe_unused]] const ssize_t shown = ::write(fd, prompt.data(), prompt.size());
    std::string text;
    char c = 0;
    ssize_t n = 0;
    while ((n = ::read(fd, &c, 1)) == 1 || (n < 0 && errno == EINTR)) {
      if (n != 1) continue;
      if (c == '\n') break;
      text.push_back(c);
    }
    if (n == 1) line = firstLine(text);
    ::tcsetattr(fd, TCSAFLUSH, &saved);
  }
  for (int i = 0; i < 3; ++i) ::sigaction(signals[i], &old[i], nullptr);
  g_ttyFd = -1;
  return line;
}

std::optional<std::string> promptOnTerminal(const std::string& prompt) {
  const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> line = promptWithoutEcho(fd, prompt);
  ::close(fd);
  return line;
}

AccountChoice chooseAccount(const PasswordSources& sources) {
  AccountChoice choice;
  if (sources.login.empty()) {
    if (!sources.passwordFile.empty()) choice.error = "--password-file needs --login USER";
    return choice;
  }
  choice.given = true;
  const auto colon = sources.login.find(':');
  choice.account.user = sources.login.substr(0, colon);
  if (choice.account.user.empty()) {
    choice.error = "--login wants a user name";
    return choice;
  }
  // The password may itself hold colons.
  if (colon != std::string::npos) {
    if (!sources.passwordFile.empty()) {
      choice.error = "give the password either in --login or in --password-file, not both";
      return choice;
    }
    choice.account.password = sources.login.substr(colon + 1);
    choice.warning =
        "warning: a password on the command line is visible to every user of this machine; "
        "use " +
        std::string(kPasswordVariable) + ", --password-file or the prompt instead";
    return choice;
  }
  if (!sources.passwordFile.empty()) {
    std::string why;
    const auto password = readPasswordFile(sources.passwordFile, &why);
    if (!password) {
      choice.error = "password file " + sources.passwordFile + ": " + why;
      return choice;
    }
    choice.account.password = *password;
  } else if (sources.environment) {
    choice.account.password = *sources.environment;
  } else if (sources.prompt) {
    const auto typed = sources.prompt("Password for " + choice.account.user + ": ");
    if (typed) choice.account.password = *typed;
  }
  return choice;
}
