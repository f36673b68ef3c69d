#include "updateservice/update_urls.h"

#include "updateservice/server_address.h"

namespace {

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// An https:// server comes with its scheme; a bare address is plain HTTP.
std::string baseOf(const std::string& serverHost) {
  const std::string root = isSecureUpdateServer(serverHost) ? serverHost : "http://" + serverHost;
  return root + "/IPC/";
}

}  // namespace

std::string percentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (isUnreserved(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0f]);
    }
  }
  return out;
}

std::string catalogueUrl(const std::string& serverHost, const std::string& hardwareName) {
  return baseOf(serverHost) + percentEncode(hardwareName) + "/versionlist_new.txt";
}

std::string updateFileUrl(const std::string& serverHost, const std::string& hardwareName,
                          const std::string& fileName) {
  return baseOf(serverHost) + percentEncode(hardwareName) + "/" + percentEncode(fileName) +
         ".patch";
}

std::string patchHistoryUrl(const std::string& serverHost, const std::string& hardwareName) {
  const std::string name = percentEncode(hardwareName);
  return baseOf(serverHost) + name + "/PatchHistory_" + name + ".txt";
}

std::string webMessagesUrl(const std::string& serverHost) {
  return baseOf(serverHost) + "RandomMessages.txt";
}
