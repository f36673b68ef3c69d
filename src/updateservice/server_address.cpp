#include "updateservice/server_address.h"

#include <arpa/inet.h>

#include <charconv>

#ifndef TOVARIN_UPDATE_SERVER
#define TOVARIN_UPDATE_SERVER "127.0.0.1:8080"
#endif

std::string defaultUpdateServer() { return TOVARIN_UPDATE_SERVER; }

std::optional<std::string> parseUpdateServer(const std::string& text) {
  const std::size_t colon = text.find(':');
  const std::string host = text.substr(0, colon);
  in_addr parsed{};
  // inet_pton takes only the four dotted decimal parts, no shorthand forms.
  if (inet_pton(AF_INET, host.c_str(), &parsed) != 1) return std::nullopt;
  char canonical[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &parsed, canonical, sizeof canonical);
  if (colon == std::string::npos) return std::string(canonical);

  const std::string portText = text.substr(colon + 1);
  int port = 0;
  const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
  if (portText.empty() || ec != std::errc() || end != portText.data() + portText.size() ||
      port < 1 || port > 65535) {
    return std::nullopt;
  }
  return std::string(canonical) + ":" + std::to_string(port);
}
