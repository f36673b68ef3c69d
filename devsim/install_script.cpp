#include "install_script.h"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "storage.h"

namespace devsim {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) {
    if (w.size() >= 2 && w.front() == '"' && w.back() == '"') w = w.substr(1, w.size() - 2);
    out.push_back(w);
  }
  return out;
}

// "/tmp/NAME" -> NAME, or empty when it is not a plain name in /tmp/.
std::string tmpName(const std::string& path) {
  const std::string prefix = "/tmp/";
  if (path.rfind(prefix, 0) != 0) return {};
  std::string name = path.substr(prefix.size());
  return isPlainName(name) ? name : std::string();
}

// Target of a cp into /mnt/mtd: the name to create there, or empty.
std::string mtdTarget(const std::string& path, const std::string& sourceName) {
  if (path == "/mnt/mtd" || path == "/mnt/mtd/") return sourceName;
  const std::string prefix = "/mnt/mtd/";
  if (path.rfind(prefix, 0) != 0) return {};
  std::string name = path.substr(prefix.size());
  return isPlainName(name) ? name : std::string();
}

bool copyStep(const std::vector<std::string>& w, const std::string& tmpDir,
              const std::string& mtdDir, std::string* error) {
  std::vector<std::string> operands;
  for (std::size_t i = 1; i < w.size(); ++i)
    if (w[i] != "-f") operands.push_back(w[i]);
  std::string source = operands.size() == 2 ? tmpName(operands[0]) : std::string();
  std::string target = source.empty() ? std::string() : mtdTarget(operands[1], source);
  if (target.empty()) {
    *error = "unsupported copy";
    return false;
  }
  std::error_code ec;
  fs::copy_file(fs::path(tmpDir) / source, fs::path(mtdDir) / target,
                fs::copy_options::overwrite_existing, ec);
  if (ec) *error = "cp /tmp/" + source + ": " + ec.message();
  return !ec;
}

}  // namespace

bool runInstallScript(const std::string& script, const std::string& tmpDir,
                      const std::string& mtdDir, std::vector<std::string>* skipped,
                      std::string* error) {
  std::istringstream in(script);
  std::vector<bool> active;  // one level per open "if"; a line runs when all are true
  bool expectThen = false;
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    std::vector<std::string> w = words(line);
    auto fail = [&](const std::string& why) {
      *error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    };
    bool running = true;
    for (bool a : active) running = running && a;
    if (w.empty() || w[0][0] == '#') continue;
    if (expectThen) {
      if (w.size() != 1 || w[0] != "then") return fail("\"then\" expected");
      expectThen = false;
    } else if (w[0] == "if") {
      // if [ -f "/tmp/NAME" ]
      if (w.size() != 5 || w[1] != "[" || w[2] != "-f" || w[4] != "]" || tmpName(w[3]).empty())
        return fail("unsupported condition");
      std::error_code ec;
      active.push_back(fs::is_regular_file(fs::path(tmpDir) / tmpName(w[3]), ec));
      expectThen = true;
    } else if (w[0] == "else" && w.size() == 1) {
      if (active.empty()) return fail("\"else\" without \"if\"");
      active.back() = !active.back();
    } else if (w[0] == "fi" && w.size() == 1) {
      if (active.empty()) return fail("\"fi\" without \"if\"");
      active.pop_back();
    } else if (!running || w[0] == "echo" || w[0] == "/tmp/exshell.sh") {
      continue;
    } else if (w[0] == "cp") {
      std::string why;
      if (!copyStep(w, tmpDir, mtdDir, &why)) return fail(why);
    } else if (skipped) {
      skipped->push_back(line);
    }
  }
  if (!active.empty() || expectThen) {
    *error = "unfinished \"if\"";
    return false;
  }
  return true;
}

}  // namespace devsim
