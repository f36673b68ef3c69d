#include "message_lists.h"

#include <mutex>

namespace {

std::vector<std::string> defaultsOf(MsgList list) {
  switch (list) {
    case MsgList::FWTipLabel:
      return {"You Need Put A Patch File into the Rect!Click it!", "Ready to Update!",
              "Patch not Match, Please Check!", "Update Failed, Please Check and Retry!",
              "Update will finish after reboot", "Connect to Device Failed, Please Check!",
              "Device Busy, Please wait then Retry!", "Canceling Update!", "Update Canceled!",
              "Downloading...", "Incomplete Patch(md5 check not match)!",
              "Connection Abnormal or Device not support!",
              // The device's firmware as the reboot check finds it.
              "Device now runs version %1", "Still on %1 after the reboot",
              "Device did not come back within %1 s of the reboot",
              // Why a step failed, after its message.
              "not an update patch", "empty file", "connection lost", "device stopped answering",
              "patch file cannot be read", "device error, code %1", "Login failed"};
    case MsgList::FWHints:
      return {"Do you want to cancel this update?",
              "Failed, Please Check the Connection!",
              "Update Canceled",
              "Do you want to backtrack to last version?",
              "Device will backtrack after reboot",
              "Are you sure to reboot device now?",
              "Device reboot!",
              "Device has newer version, Do you want to download the patch?",
              "Device has no available update version!",
              "Update patch download finished!",
              "Connect to Updateserver failed",
              "Sure to Update with this patch?",
              "Device has updated. Checking for next update, if \"Device has no available update "
              "version!\" is shown, reboot device is OK."};
    case MsgList::UpdateProgressGauge:
      return {"Uploading Patch", "Unpacking Patch", "Update Finished, Should Reboot!",
              "Patch Send Finished!"};
    case MsgList::LoginButton:
      return {"Login", "ChangeDev"};
    case MsgList::DevSearch:
      return {"Search", "Searching..."};
    case MsgList::FlieListMenu:
      return {"&Open", "&Download"};
    case MsgList::SampleMessages:
      return {"File exists, do you want to overwrite it?"};
    case MsgList::PatchMaker:
      return {"No files to patch: drag the files of the patch onto the file list first.",
              "00.00.00.00 is no version: enter the version the patch brings as NewV.",
              "Patch written to %1"};
    case MsgList::UpdateServer:
      return {"no answer from the server",
              "the server has no firmware for %1",
              "the server stopped sending",
              "the server was too slow",
              "the download is too large",
              "the disk is nearly full",
              "the download cannot be written",
              "the server's catalogue for %1 cannot be read",
              "the server's catalogue for %1 lists no file to send",
              "the work folder cannot be made",
              "the download cannot be read back",
              "the patch cannot be packed",
              "the server does not have %1",
              "An online update check is running. Stop it and close the window?",
              "(The history is longer: only its beginning is shown.)",
              "...",
              "certificate not trusted",
              "name does not match",
              "no secure connection to the server"};
    case MsgList::Downloads:
      return {"Download failed",
              "%1: could not connect to the device.",
              "%1: the device did not take the request.",
              "%1: the connection to the device was lost.",
              "%1: the device stopped answering.",
              "%1: the device refused to send the file.",
              "%1: the file is too large (2 GB or more).",
              "%1: the file could not be written into the download folder.",
              "%1: no download folder is set (Options page).",
              "%1: the download folder %2 does not exist.",
              "%1: the download folder %2 cannot be written.",
              "%1: a folder of that name is in the way in the download folder.",
              "%1: the MD5 check failed; the file was not kept.",
              "%1: the received file could not be read for the MD5 check.",
              "%1% at %2 KB/s",
              "Starting...",
              "Downloads"};
    case MsgList::Boxes:
      // Fixed texts of boxes, questions and titles (settings/box_texts.h
      // names the indices).
      return {"IPaddress error",
              "Password error",
              "User not exists!",
              "download ok",
              "file",
              "file md5",
              "File Exist, do you want to overwrite it?",
              "Download Warning",
              "Download missions reach limit!",
              "Need a File",
              "Asking",
              "Warning",
              "An update is running. Close the window once it has ended?",
              "send error",
              "An update is running. Change the device once it has ended.",
              "The path is too long for the device (at most %1 bytes).",
              "Not downloaded: \"%1\" is not a plain file name.",
              "Folder path too long: %1",
              "Tovarin - No Connect"};
    case MsgList::Signing:
      return {"Updates are not verified: no trusted signing key is installed",
              "catalogue not signed by a trusted key",
              "catalogue: signature does not match",
              "%1 not signed by a trusted key",
              "%1: signature does not match",
              "Signed by %1",
              "Refused: %1"};
  }
  return {};
}

}  // namespace

void MessageLists::fill() {
  std::unique_lock lock(mutex_);
  for (int i = 0; i < kMsgListCount; ++i) lists_[i] = defaultsOf(static_cast<MsgList>(i));
}

std::string MessageLists::textOf(MsgList list, int index) const {
  std::shared_lock lock(mutex_);
  const auto& entries = lists_[static_cast<int>(list)];
  if (index < 0 || index >= static_cast<int>(entries.size())) return {};
  return entries[index];
}

int MessageLists::countOf(MsgList list) const {
  std::shared_lock lock(mutex_);
  return static_cast<int>(lists_[static_cast<int>(list)].size());
}

void MessageLists::replace(MsgList list, int index, const std::string& text) {
  std::unique_lock lock(mutex_);
  auto& entries = lists_[static_cast<int>(list)];
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  entries[index] = text;
}

void MessageLists::release() {
  std::unique_lock lock(mutex_);
  for (auto& entries : lists_) entries.clear();
}

const char* MessageLists::nameOf(MsgList list) {
  switch (list) {
    case MsgList::FWTipLabel:
      return "FWTipLabel_strlist";
    case MsgList::FWHints:
      return "FWHints_strlist";
    case MsgList::UpdateProgressGauge:
      return "UpdateProgressGauge_strlist";
    case MsgList::LoginButton:
      return "LoginButton_strlist";
    case MsgList::DevSearch:
      return "DevSearch_strlist";
    case MsgList::FlieListMenu:
      return "FlieListMenu_strlist";
    case MsgList::SampleMessages:
      return "SampleMessages_strlist";
    case MsgList::PatchMaker:
      return "PatchMaker_strlist";
    case MsgList::UpdateServer:
      return "UpdateServer_strlist";
    case MsgList::Downloads:
      return "Downloads_strlist";
    case MsgList::Boxes:
      return "Boxes_strlist";
    case MsgList::Signing:
      return "Signing_strlist";
  }
  return "";
}

const std::array<MsgList, kMsgListCount>& MessageLists::packOrder() {
  static const std::array<MsgList, kMsgListCount> order = {
      MsgList::LoginButton,         MsgList::FWTipLabel,   MsgList::FWHints,
      MsgList::UpdateProgressGauge, MsgList::FlieListMenu, MsgList::SampleMessages,
      MsgList::DevSearch,           MsgList::PatchMaker,   MsgList::UpdateServer,
      MsgList::Downloads,           MsgList::Boxes,          MsgList::Signing};
  return order;
}

QString msgText(const MessageLists& lists, MsgList list, int index) {
  return QString::fromStdString(lists.textOf(list, index));
}
