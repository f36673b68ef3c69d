// Thread locale and console code page. The device libraries expect the
// Simplified Chinese locale (LCID 2052, code page 936) on every thread that
// talks to the device. Where the platform has no thread locale, a small
// per-thread emulation keeps the same rule observable and testable.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t kChineseLcid = 2052;
constexpr std::uint32_t kChineseCodePage = 936;

std::uint32_t GetThreadLocale();
void SetThreadLocale(std::uint32_t lcid);
void SetConsoleOutputCP(std::uint32_t codePage);
std::uint32_t ConsoleOutputCP();

// The locale that a new thread starts with (the system's). Tests change it.
void setSystemLocale(std::uint32_t lcid);

}  // namespace platform

// The thread locale the process had when it started.
extern std::uint32_t StartupThreadLocale;

// Process start: records StartupThreadLocale and applies the rule below.
void initProcessLocale();

// When StartupThreadLocale is not 2052, sets this thread's locale to 2052 and
// the console output code page to 936. Every worker that talks to the device
// calls it first.
void applyDeviceThreadLocale();
