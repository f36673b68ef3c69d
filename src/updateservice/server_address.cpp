#include "updateservice/server_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#ifndef TOVARIN_UPDATE_SERVER
#define TOVARIN_UPDATE_SERVER "127.0.0.1:8080"
#endif

namespace {

constexpr std::string_view kHttps = "https://";
constexpr std::string_view kHttp = "http://";

bool startsWithNoCase(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
           return p == std::tolower(static_cast<unsigned char>(t));
         });
}

std::optional<std::string> canonicalIPv4(const std::string& host) {
  in_addr parsed{};
  // inet_pton takes only the four dotted decimal parts, no shorthand forms.
  if (inet_pton(AF_INET, host.c_str(), &parsed) != 1) return std::nullopt;
  char canonical[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &parsed, canonical, sizeof canonical);
  return std::string(canonical);
}

// A DNS name in lower case: dot-separated labels of letters, digits and
// inner hyphens, at most 63 characters each and 253 in all.
std::optional<std::string> canonicalName(std::string host) {
  if (host.empty() || host.size() > 253) return std::nullopt;
  std::size_t label = 0;
  for (std::size_t i = 0; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == '.') {
      const std::size_t length = i - label;
      if (length == 0 || length > 63 || host[label] == '-' || host[i - 1] == '-')
        return std::nullopt;
      label = i + 1;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(host[i]);
    if (!std::isalnum(c) && c != '-') return std::nullopt;
    host[i] = static_cast<char>(std::tolower(c));
  }
  return host;
}

// ":PORT" (1 to 65535) or nothing.
std::optional<std::string> portPart(const std::string& text, std::size_t colon) {
  if (colon == std::string::npos) return std::string();
  const std::string portText = text.substr(colon + 1);
  int port = 0;
  const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
  if (portText.empty() || ec != std::errc() || end != portText.data() + portText.size() ||
      port < 1 || port > 65535) {
    return std::nullopt;
  }
  return ":" + std::to_string(port);
}

}  // namespace

std::string defaultUpdateServer() { return TOVARIN_UPDATE_SERVER; }

std::optional<std::string> parseUpdateServer(const std::string& given) {
  std::string text = given;
  const bool secure = startsWithNoCase(text, kHttps);
  if (secure) {
    text.erase(0, kHttps.size());
  } else if (startsWithNoCase(text, kHttp)) {
    text.erase(0, kHttp.size());
  }
  if (!text.empty() && text.back() == '/') text.pop_back();
  const std::size_t colon = text.find(':');
  const std::string host = text.substr(0, colon);
  const auto port = portPart(text, colon);
  if (!port) return std::nullopt;
  if (auto address = canonicalIPv4(host))
    return (secure ? std::string(kHttps) : std::string()) + *address + *port;
  // A certificate names its server, so https may name it too; plain http
  // keeps to an address as it always has.
  if (!secure) return std::nullopt;
  const auto name = canonicalName(host);
  if (!name) return std::nullopt;
  return std::string(kHttps) + *name + *port;
}

bool isSecureUpdateServer(const std::string& serverHost) {
  return serverHost.rfind(kHttps, 0) == 0;
}
