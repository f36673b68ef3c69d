// Scripted stand-ins for the window's services: they record what the window
// showed and answer as the test told them to.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "common/services.h"

struct ShownBox {
  enum Kind { Message, Error, Question } kind;
  QString title;
  QString text;
};

class ScriptedDialogs final : public IDialogs {
 public:
  void showMessage(const QString& title, const QString& text) override {
    record({ShownBox::Message, title, text});
    if (onMessage) onMessage(text);
  }
  void showError(const QString& text) override { record({ShownBox::Error, "Error", text}); }
  bool askYesNo(const QString& title, const QString& text) override {
    record({ShownBox::Question, title, text});
    std::lock_guard lock(mutex_);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QString openFile(const QString& filter, const QString& initialFolder) override {
    std::lock_guard lock(mutex_);
    fileFilters << filter;
    fileInitialFolders << initialFolder;
    if (files.empty()) return {};
    QString file = files.front();
    files.pop_front();
    return file;
  }
  QString browseFolder(const QString& title, const QString& startFolder) override {
    std::lock_guard lock(mutex_);
    folderTitles << title;
    folderStarts << startFolder;
    if (folders.empty()) return {};
    QString folder = folders.front();
    folders.pop_front();
    return folder;
  }

  std::vector<ShownBox> boxes() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }
  QStringList texts() const {
    QStringList out;
    for (const auto& b : boxes()) out << b.text;
    return out;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    shown_.clear();
  }

  // Answers, taken in order; an empty queue answers No / cancel.
  std::deque<bool> answers;
  std::deque<QString> files;
  std::deque<QString> folders;
  QStringList fileFilters, fileInitialFolders, folderTitles, folderStarts;
  // Runs while a message box is "open" (on the window's thread).
  std::function<void(const QString&)> onMessage;

 private:
  void record(const ShownBox& box) {
    std::lock_guard lock(mutex_);
    shown_.push_back(box);
  }
  mutable std::mutex mutex_;
  std::vector<ShownBox> shown_;
};

// Sleeps for no time; records each request and can run a hook per sleep.
// Workers and the window's thread may sleep at once; read `sleeps` only
// while no worker runs.
class RecordingSleeper final : public ISleeper {
 public:
  void sleepMs(int milliseconds) override {
    {
      std::lock_guard lock(mutex_);
      sleeps.push_back(milliseconds);
    }
    if (onSleep) onSleep();
  }
  std::mutex mutex_;
  std::vector<int> sleeps;
  std::function<void()> onSleep;
};

// Stands still unless the test moves it (workers read it too).
class FixedClock final : public IClock {
 public:
  std::int64_t nowMs() override { return now; }
  std::atomic<std::int64_t> now{1'700'000'000'000};
};

// A browser that is found at path (empty: none) and records what it was
// asked to open.
class ScriptedBrowser final : public IBrowser {
 public:
  QString defaultBrowserPath() override { return path; }
  void launch(const QString& program, const QString& address) override {
    launched << program + " " + address;
  }
  QString path = "/usr/bin/xdg-open";
  QStringList launched;
};

class ScriptedRandom final : public IRandom {
 public:
  void seed(std::uint64_t value) override { seeds.push_back(value); }
  int between(int low, int high) override {
    draws.push_back({low, high});
    int v = next.empty() ? low : next.front();
    if (!next.empty()) next.pop_front();
    return v;
  }
  std::deque<int> next;
  std::vector<std::pair<int, int>> draws;
  std::vector<std::uint64_t> seeds;
};
