// The live view of a rollout: in a terminal, one line per camera redrawn in
// place; otherwise (a pipe, a log file) one plain line per change of stage.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/fleet_types.h"

class ProgressBoard final : public IFleetProgress {
 public:
  ProgressBoard(std::FILE* out, bool terminal, const std::vector<FleetTarget>& targets);
  void stageChanged(std::size_t index, Stage stage, int percent) override;
  void finished(std::size_t index, const DeviceOutcome& outcome) override;
  // Draws the last state of every line once more (terminal only).
  void flush();

 private:
  struct Line {
    std::string name;
    Stage stage = Stage::Queued;
    int percent = -1;
    std::string text;  // the whole line
  };
  void setText(Line& line, const std::string& state);
  void redraw(bool force);

  std::mutex mutex_;
  std::FILE* out_;
  bool terminal_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_;
  std::vector<Line> lines_;
};
