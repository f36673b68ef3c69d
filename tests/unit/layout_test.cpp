// The placement rules against the figures of the default 640 x 480 window.
#include <gtest/gtest.h>

#include "app/layout.h"

namespace {

// The form's sizes of every control the rules read.
RectMap formRects() {
  RectMap r;
  auto set = [&](const char* name, int w, int h, int left = 0, int top = 0) {
    r[name] = Rect{left, top, w, h};
  };
  set("Pages_PageControl", 640, 480);
  set("Login_Panel", 640, 480);
  set("PanelSpreader_Btn", 17, 480);
  set("DevListPanel_Panel", 161, 345);
  set("DevList_Label", 161, 25);
  set("DevList_TreeView", 161, 100);
  set("DevListBtnPanel_Panel", 159, 41);
  set("DevSearch_Btn", 65, 25);
  for (const char* e : {"DeviceID_Edit", "IPAddress_Edit", "UserName_Edit", "Password_Edit"})
    set(e, 137, 18);
  set("UserName_Label", 60, 15);
  set("IPAddress_Label", 58, 15);
  set("Password_Label", 55, 15);
  set("DeviceID_Label", 52, 15);
  set("Login_SBtn", 73, 25);
  set("LoginHint_Label", 85, 16);
  set("Tips_Bevel", 425, 9);
  set("TutorShow_Btn", 145, 25);
  set("Tips_Label", 170, 15);
  set("ListPanel_Panel", 600, 400);
  set("FileList_LV", 400, 380, 0, 19);
  set("Backdir_Btn", 19, 19);
  set("Path_SEdit", 300, 19, 64, 0);
  set("VerScrollBar_SB", 17, 300);
  set("Files2Patch_Panel", 310, 400);
  set("UpdateRuleFile_LV", 89, 81);
  set("Files2Patch_LV", 310, 300);
  set("MakeUpdatePatch_BtnPanel", 221, 81, 89);
  set("MakeUpdatePatchProgress_Gauge", 310, 12);
  set("MUPcontrols_Panel", 330, 456);
  set("MUPresult_Listview", 89, 81, 0, 100);
  set("MUPmd5out_Edit", 200, 20);
  set("MUPGetmd5_Btn", 75, 25);
  set("ServerMsg_Bevel", 642, 41);
  set("TargetHarward_Label", 90, 15);
  set("TargetHarward_Val", 60, 15);
  set("TargetVersion_Label", 100, 15);
  set("TargetVersion_Val", 60, 15);
  set("Patch2Send_LV", 89, 81, 0, 58);
  set("UpdateCancel_Btn", 89, 25, 0, 215);
  set("FirmwareWpdateTip_Label", 291, 34);
  set("FirmwareBacktrack_Btn", 89, 25, 0, 255);
  set("UpdateProgress_Gauge", 169, 17);
  set("FirmwareUpdate_Btn", 89, 25, 0, 215);
  set("CheckForUpdate_Btn", 89, 25);
  set("ManuallyUpdateHelp_Memo", 0, 150);
  set("AutoUpdateHelp_Memo", 0, 150);
  set("PatchDownloadProcess_Gauge", 113, 17);
  set("DeviceReboot_Btn", 89, 25, 0, 290);
  set("FUwarningLabel_Label", 300, 32);
  set("FUPageBevel1_Bevel", 2, 300);
  set("PatchMessage_Memo", 300, 300);
  set("PatchMessage_Scroll", 17, 300);
  set("WebMessageURL_Label", 100, 16);
  set("FUPageBevel2_Bevel", 642, 2);
  set("OptionScrollPanel_Panel", 600, 400);
  set("OptionPanel1_Panel", 600, 150);
  set("DownloadSpeedLimit_Bevel", 600, 10, 4, 62);
  set("DownloadSpeedLimit_Label", 130, 15);
  set("DownloadSpeedLimit_Edit", 70, 22);
  set("DSLKBperSec_Label", 170, 15);
  set("OptionPanel2_Panel", 600, 64);
  set("OptionPanel3_Panel", 600, 64);
  set("OptionPanel4_Panel", 600, 64);
  return r;
}

LayoutFrame frame() { return LayoutFrame{640, 480, 640, 456, 19}; }

}  // namespace

TEST(Rounding, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(251.5), 252);
  EXPECT_EQ(roundHalfEven(250.5), 250);
  EXPECT_EQ(roundHalfEven(-0.5), 0);
  EXPECT_EQ(roundHalfEven(58.18), 58);
}

TEST(ResetComponentPos, LoginColumnMatchesTheKnownFigures) {
  RectMap r = formRects();
  resetComponentPos(frame(), r);
  EXPECT_EQ(r["UserName_Edit"].top, 222);
  EXPECT_EQ(r["UserName_Edit"].left, 252);  // 251.5 rounds to 252
  EXPECT_EQ(r["IPAddress_Edit"].top, 200);
  EXPECT_EQ(r["DeviceID_Edit"].top, 178);
  EXPECT_EQ(r["Password_Edit"].top, 244);
  EXPECT_EQ(r["Login_SBtn"].top, 278);
  for (const char* e : {"IPAddress_Edit", "DeviceID_Edit", "Password_Edit"})
    EXPECT_EQ(r[e].left, 252) << e;
  // Labels end two pixels before the column and share the user name's left.
  EXPECT_EQ(r["UserName_Label"].left, 252 - 60 - 2);
  EXPECT_EQ(r["Password_Label"].left, 190);
  EXPECT_EQ(r["DeviceID_Label"].top, 178);
  EXPECT_EQ(r["Password_Label"].top, 246);
  // A third of the way from the label's left to the edit's right edge.
  EXPECT_EQ(r["Login_SBtn"].left, 190 + roundHalfEven((389 - 190) / 3.0));
  EXPECT_EQ(r["LoginHint_Label"].top, 278 + 25 + 10);
  EXPECT_EQ(r["LoginHint_Label"].left, r["Login_SBtn"].left + roundHalfEven(-6.0));
}

TEST(ResetComponentPos, LongerTranslatedLabelMovesOnlyItsOwnColumn) {
  RectMap r = formRects();
  resetComponentPos(frame(), r);
  const int before = r["UserName_Label"].left;
  r["UserName_Label"].width += 30;
  resetComponentPos(frame(), r);
  EXPECT_EQ(r["UserName_Label"].left, before - 30);
  EXPECT_EQ(r["UserName_Edit"].left, 252);
}

TEST(ResetComponentPos, FirmwareColumnIsCentredOnThePatchArea) {
  RectMap r = formRects();
  resetComponentPos(frame(), r);
  EXPECT_EQ(r["Patch2Send_LV"].left, 107);  // 640 / 6 = 106.67
  // Centre line 107 + 44.5 = 151.5; a 89-wide button starts at 107.
  EXPECT_EQ(r["UpdateCancel_Btn"].left, 107);
  EXPECT_EQ(r["FirmwareBacktrack_Btn"].left, 107);
  EXPECT_EQ(r["UpdateProgress_Gauge"].left, 67);  // 151.5 - 84.5
  EXPECT_EQ(r["FirmwareUpdate_Btn"].left, 107 - 89 - 15);
  EXPECT_EQ(r["CheckForUpdate_Btn"].left, 107 + 89 + 15);
  EXPECT_EQ(r["ManuallyUpdateHelp_Memo"].left, r["FirmwareUpdate_Btn"].right());
  EXPECT_EQ(r["AutoUpdateHelp_Memo"].left, r["CheckForUpdate_Btn"].right());
  EXPECT_EQ(r["UpdateProgress_Gauge"].top, 215 - 17 - 5);
  EXPECT_EQ(r["TargetVersion_Label"].left, 340);
  EXPECT_EQ(r["TargetHarward_Val"].left, 20 + 90 + 15);
  EXPECT_EQ(r["FUwarningLabel_Label"].top, 290 + 25 + 80);
  EXPECT_EQ(r["FUwarningLabel_Label"].left, 10);  // centred on 160
  EXPECT_EQ(r["PatchMessage_Memo"].left, 323);
  EXPECT_EQ(r["PatchMessage_Memo"].width, 640 - 323 + 1);
  EXPECT_EQ(r["PatchMessage_Scroll"].left, 642 - 8);  // half of 17 rounds first
}

TEST(ResetComponentPos, OptionPanelsStackWithOnePixelOverlap) {
  RectMap r = formRects();
  resetComponentPos(frame(), r);
  EXPECT_EQ(r["OptionPanel1_Panel"].width, 643);
  EXPECT_EQ(r["OptionPanel2_Panel"].top, 148);
  EXPECT_EQ(r["OptionPanel3_Panel"].top, 148 + 64 - 1);
  EXPECT_EQ(r["OptionPanel4_Panel"].top, 211 + 64 - 1);
  EXPECT_EQ(r["DownloadSpeedLimit_Bevel"].height, 150 - 62 - 9);
  EXPECT_EQ(r["DownloadSpeedLimit_Edit"].left, 8 + 130 + 2);
  EXPECT_EQ(r["DSLKBperSec_Label"].left, 140 + 70 + 2);
}

TEST(PlaceAtStart, DeviceListAndTipsHugTheRightEdge) {
  RectMap r = formRects();
  placeAtStart(frame(), r);
  EXPECT_EQ(r["Pages_PageControl"].left, 17);
  EXPECT_EQ(r["DevListPanel_Panel"].left, 475);
  EXPECT_EQ(r["DevList_TreeView"].top, 26);
  EXPECT_EQ(r["DevList_TreeView"].height, 345 - 25 - 41 - 1);
  EXPECT_EQ(r["DevListBtnPanel_Panel"].top, 304);
  EXPECT_EQ(r["DevSearch_Btn"].top, 8);
  EXPECT_EQ(r["DevSearch_Btn"].left + r["DevListBtnPanel_Panel"].left, 48);
  EXPECT_EQ(r["Tips_Bevel"].top, 430);
  EXPECT_EQ(r["TutorShow_Btn"].left, 490);
  EXPECT_EQ(r["Tips_Label"].left, 490 - 170 - 16);
  EXPECT_EQ(r["MUPmd5out_Edit"].left, 30);
  EXPECT_EQ(r["CheckForUpdate_Btn"].width, 89);
  EXPECT_EQ(r["AutoUpdateHelp_Memo"].height, 150);
}

TEST(Animation, FoldAndUnfoldWidths) {
  EXPECT_EQ(panelFoldWidths(640, 17, true),
            (std::vector<int>{580, 522, 464, 406, 348, 290, 232, 174, 116, 58, 17}));
  EXPECT_EQ(panelFoldWidths(640, 17, false),
            (std::vector<int>{58, 116, 174, 232, 290, 348, 406, 464, 522, 580, 640}));
  EXPECT_EQ(helpMemoWidths(247, true),
            (std::vector<int>{22, 44, 66, 88, 110, 132, 154, 176, 198, 220, 247}));
  EXPECT_EQ(helpMemoWidths(247, false),
            (std::vector<int>{220, 198, 176, 154, 132, 110, 88, 66, 44, 22}));
}

TEST(Centring, TruncatesTowardZero) {
  EXPECT_EQ(centreOffset(1080, 500), 290);
  EXPECT_EQ(centreOffset(399, 500), -50);  // a difference of -101
}
