#include "common/platform_locale.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::uint32_t systemLocaleFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strncmp(value, "zh_CN", 5) == 0 ? 2052u : 1033u;
  }
  return 1033u;  // English (United States)
}

std::atomic<std::uint32_t> g_systemLocale{systemLocaleFromEnvironment()};
std::atomic<std::uint32_t> g_consoleCodePage{0};
thread_local std::uint32_t t_threadLocale = 0;  // 0: not set, the system's

}  // namespace

namespace platform {

std::uint32_t GetThreadLocale() { return t_threadLocale ? t_threadLocale : g_systemLocale.load(); }
void SetThreadLocale(std::uint32_t lcid) { t_threadLocale = lcid; }
void SetConsoleOutputCP(std::uint32_t codePage) { g_consoleCodePage = codePage; }
std::uint32_t ConsoleOutputCP() { return g_consoleCodePage; }
void setSystemLocale(std::uint32_t lcid) { g_systemLocale = lcid; }

}  // namespace platform

std::uint32_t StartupThreadLocale = 0;

void initProcessLocale() {
  StartupThreadLocale = platform::GetThreadLocale();
  applyDeviceThreadLocale();
}

void applyDeviceThreadLocale() {
  if (StartupThreadLocale == platform::kChineseLcid) return;
  platform::SetThreadLocale(platform::kChineseLcid);
  platform::SetConsoleOutputCP(platform::kChineseCodePage);
}
