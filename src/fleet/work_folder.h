// The online update's scratch folder. Made fresh under the temporary folder
// with a name nobody can guess and only this user can enter (mkdtemp, mode
// 0700), so no one can plant files or links in it beforehand, swap a
// download between its MD5 check and packing, or have a link followed by
// its clean-up. Never reused; removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

class WorkFolder {
 public:
  // Makes root/tovarin-fleet-XXXXXX; see made() and error().
  explicit WorkFolder(const std::filesystem::path& root);
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  bool made() const { return !path_.empty(); }
  const std::string& error() const { return error_; }
  const std::filesystem::path& path() const { return path_; }

  // Removes the folder and its contents; a link inside is removed, never
  // followed. Safe to call again.
  void remove();

 private:
  std::filesystem::path path_;
  std::string error_;
};
