#include "fleet/progress_board.h"

#include <algorithm>

#include "fleet/escaped_text.h"

namespace {

// Identifiers and reasons come from the network: escaped, they cannot move
// the cursor or rewrite the board.
std::string cameraName(const FleetTarget& t) {
  return escapedText(t.identifier.empty() ? t.address : t.identifier + " " + t.address);
}

std::string versionText(std::int32_t v) { return v < 0 ? "?" : std::to_string(v); }

}  // namespace

ProgressBoard::ProgressBoard(std::FILE* out, bool terminal, const std::vector<FleetTarget>& targets)
    : out_(out), terminal_(terminal) {
  std::size_t width = 0;
  for (const FleetTarget& t : targets) width = std::max(width, cameraName(t).size());
  for (const FleetTarget& t : targets) {
    Line line;
    line.name = cameraName(t);
    line.name.resize(width, ' ');
    setText(line, stageName(Stage::Queued));
    lines_.push_back(line);
  }
  if (terminal_) redraw(true);
}

void ProgressBoard::setText(Line& line, const std::string& state) {
  line.text = line.name + "  " + state;
}

void ProgressBoard::stageChanged(std::size_t index, Stage stage, int percent) {
  std::lock_guard lock(mutex_);
  Line& line = lines_.at(index);
  const bool newStage = line.stage != stage;
  line.stage = stage;
  line.percent = percent;
  std::string state = stageName(stage);
  if (percent >= 0) state += " " + std::to_string(percent) + "%";
  setText(line, state);
  if (terminal_) {
    redraw(newStage);
  } else if (newStage) {
    std::fprintf(out_, "%s\n", line.text.c_str());
    std::fflush(out_);
  }
}

void ProgressBoard::finished(std::size_t index, const DeviceOutcome& o) {
  std::lock_guard lock(mutex_);
  Line& line = lines_.at(index);
  line.stage = Stage::Done;
  std::string state = std::string(resultName(o.result)) + "  " + versionText(o.versionBefore) +
                      " -> " + versionText(o.versionAfter);
  if (!o.reason.empty()) state += "  " + escapedText(o.reason);
  setText(line, state);
  if (terminal_) {
    redraw(true);
  } else {
    std::fprintf(out_, "%s\n", line.text.c_str());
    std::fflush(out_);
  }
}

void ProgressBoard::flush() {
  std::lock_guard lock(mutex_);
  if (terminal_) redraw(true);
}

void ProgressBoard::redraw(bool force) {
  // Percent steps come fast from several cameras: ten frames a second do.
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  std::string frame;
  if (drawn_) frame += "\x1b[" + std::to_string(lines_.size()) + "F";  // back to the first line
  for (const Line& line : lines_) frame += "\x1b[2K" + line.text + "\n";
  std::fputs(frame.c_str(), out_);
  std::fflush(out_);
  drawn_ = true;
}
