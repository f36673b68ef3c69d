// The program's two functions that the device library calls back. They may
// be called on any thread; they reach the window's pages through the one
// ProgressPages registered, on the window's thread.
#pragma once

#include <QString>
#include <cstdint>

#include "patchmaker/file_to_patch.h"  // commaTextOf

// The pages the device library's progress reaches; called on the window's
// thread. The window registers itself while it exists (mainform.cpp).
class ProgressPages {
 public:
  virtual ~ProgressPages() = default;
  // Download speed of slot 1-4 in KB/s.
  virtual void showTransferSpeed(int slot, int value) = 0;
  virtual void showPatchMakerProgress(int value) = 0;
  virtual void showUpdateProgress(int value) = 0;
  // Entry `index` (1-based) of the patch maker's list, the rule script last;
  // false beyond the list.
  virtual bool patchMakerEntry(int index, QString* name, QString* path) = 0;
};

// Registers the pages (null: none; the callbacks then change nothing). Call
// on the window's thread.
void setProgressPages(ProgressPages* pages);
// Unregisters the pages unless others have been registered since.
void clearProgressPages(ProgressPages* pages);

// Channels 1-4: download speeds into Speed1_Label..Speed4_Label; 90: the
// patch maker's gauge; 91: the update gauge, with the unpacking text at 40.
void CurProgressCallback(int32_t value, uint16_t channel);

// Fills the name and information buffers for file `index` (1-based) of the
// patch maker's list, the rule script last.
void GetFile2PatchCallback(char* name, char* info, int32_t index);
