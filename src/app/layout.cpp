#include "app/layout.h"

#include <cmath>

int roundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

namespace {

// Left that centres a control of the given width on a centre line (exact,
// rounded once).
int centredOn(double centre, int width) { return roundHalfEven(centre - width / 2.0); }

}  // namespace

void placeAtStart(const LayoutFrame& f, RectMap& r) {
  const int cw = f.clientWidth, ch = f.clientHeight;

  auto& pages = r.at("Pages_PageControl");
  pages.left = r.at("PanelSpreader_Btn").width;
  pages.height = ch;
  pages.width = cw;

  auto& login = r.at("Login_Panel");
  login.height = ch;
  login.width = cw;

  // Device list on the right of the login panel.
  auto& devPanel = r.at("DevListPanel_Panel");
  devPanel.left = cw - devPanel.width - 4;
  devPanel.top = 1;
  const auto& devLabel = r.at("DevList_Label");
  auto& btnPanel = r.at("DevListBtnPanel_Panel");
  auto& tree = r.at("DevList_TreeView");
  tree.top = devLabel.height + 1;
  tree.height = devPanel.height - devLabel.height - btnPanel.height - 1;
  btnPanel.top = devPanel.height - btnPanel.height;
  btnPanel.left = 1;
  btnPanel.width = devPanel.width - 2;
  auto& search = r.at("DevSearch_Btn");  // child of the button panel
  search.top = roundHalfEven((btnPanel.height - search.height) / 2.0);
  search.left = roundHalfEven((devPanel.width - search.width) / 2.0) - btnPanel.left;

  // Bottom right of the login panel.
  auto& bevel = r.at("Tips_Bevel");
  bevel.top = ch - 50;
  bevel.left = cw - bevel.width - 5;
  auto& tutor = r.at("TutorShow_Btn");
  tutor.top = bevel.top + 5;
  tutor.left = cw - tutor.width - 5;
  auto& tips = r.at("Tips_Label");
  tips.top = tutor.top + 2;
  tips.left = tutor.left - tips.width - 16;

  // Patch maker page.
  auto& mup = r.at("MUPcontrols_Panel");
  mup.top = 0;
  mup.left = r.at("Files2Patch_Panel").right();
  mup.width = f.pageWidth - mup.left;
  mup.height = f.pageHeight;
  auto& result = r.at("MUPresult_Listview");
  result.left = roundHalfEven((mup.width - result.width) / 2.0);
  auto& md5 = r.at("MUPmd5out_Edit");
  md5.top = result.bottom() + 10;
  md5.width = mup.width - 60;
  md5.left = roundHalfEven((mup.width - md5.width) / 2.0);

  // Firmware page.
  const int updateWidth = r.at("FirmwareUpdate_Btn").width;
  r.at("UpdateCancel_Btn").width = updateWidth;
  r.at("CheckForUpdate_Btn").width = updateWidth;
  r.at("ManuallyUpdateHelp_Memo").height = 150;
  r.at("AutoUpdateHelp_Memo").height = 150;
}

void resetComponentPos(const LayoutFrame& f, RectMap& r) {
  const int cw = f.clientWidth, ch = f.clientHeight;
  const int pw = f.pageWidth, ph = f.pageHeight;

  // 1. Login panel frame.
  auto& login = r.at("Login_Panel");
  login.left = 0;
  login.top = 0;
  auto& spreader = r.at("PanelSpreader_Btn");
  spreader.left = 0;
  spreader.top = 0;
  spreader.height = ch;

  // 2. Login fields, a column centred in the window.
  auto& user = r.at("UserName_Edit");
  user.top = roundHalfEven(ch / 2.0) - user.height;
  user.left = roundHalfEven((cw - user.width) / 2.0);
  auto& ip = r.at("IPAddress_Edit");
  ip.top = user.top - ip.height - 4;
  auto& id = r.at("DeviceID_Edit");
  id.top = ip.top - id.height - 4;
  auto& pass = r.at("Password_Edit");
  pass.top = user.bottom() + 4;
  ip.left = id.left = pass.left = user.left;

  // 3. Field labels.
  auto& userLabel = r.at("UserName_Label");
  userLabel.left = user.left - userLabel.width - 2;
  auto& ipLabel = r.at("IPAddress_Label");
  auto& passLabel = r.at("Password_Label");
  auto& idLabel = r.at("DeviceID_Label");
  ipLabel.left = passLabel.left = idLabel.left = userLabel.left;
  userLabel.top = user.top + 2;
  ipLabel.top = ip.top + 2;
  passLabel.top = pass.top + 2;
  idLabel.top = id.top;

  // 4. Login button and its hint.
  auto& loginBtn = r.at("Login_SBtn");
  loginBtn.top = pass.bottom() + 16;
  loginBtn.left = passLabel.left + roundHalfEven((pass.right() - passLabel.left) / 3.0);
  auto& hint = r.at("LoginHint_Label");
  hint.top = loginBtn.bottom() + 10;
  hint.left = loginBtn.left + roundHalfEven((loginBtn.width - hint.width) / 2.0);

  // 5. File page.
  auto& listPanel = r.at("ListPanel_Panel");
  listPanel.top = 0;
  listPanel.height = ph + 1;
  listPanel.width = r.at("Pages_PageControl").width;
  auto& fileList = r.at("FileList_LV");
  fileList.height = listPanel.height - f.panelCaptionHeight;
  fileList.width = roundHalfEven(listPanel.width * 2.0 / 3.0);
  auto& backdir = r.at("Backdir_Btn");
  backdir.left = fileList.width - backdir.width;
  auto& path = r.at("Path_SEdit");
  path.width = backdir.left - path.left;
  r.at("VerScrollBar_SB").height = fileList.height;

  // 6. Patch maker page.
  auto& files2Patch = r.at("Files2Patch_Panel");
  files2Patch.top = 0;
  files2Patch.height = ph + 1;
  auto& ruleList = r.at("UpdateRuleFile_LV");
  ruleList.top = files2Patch.height - ruleList.height;
  r.at("Files2Patch_LV").height = ruleList.top - f.panelCaptionHeight;
  auto& makeBtnPanel = r.at("MakeUpdatePatch_BtnPanel");
  makeBtnPanel.top = ruleList.top;
  makeBtnPanel.height = ruleList.height;
  auto& makeGauge = r.at("MakeUpdatePatchProgress_Gauge");
  makeGauge.top = makeBtnPanel.top - makeGauge.height;
  auto& getMd5 = r.at("MUPGetmd5_Btn");
  getMd5.top = r.at("MUPmd5out_Edit").bottom() + 10;
  getMd5.left = roundHalfEven((r.at("MUPcontrols_Panel").width - getMd5.width) / 2.0);

  // 7. Firmware page header.
  auto& serverBevel = r.at("ServerMsg_Bevel");
  serverBevel.left = -1;
  serverBevel.width = pw + 2;
  auto& hwLabel = r.at("TargetHarward_Label");
  hwLabel.left = 20;
  r.at("TargetHarward_Val").left = hwLabel.right() + 15;
  auto& verLabel = r.at("TargetVersion_Label");
  verLabel.left = roundHalfEven(pw / 2.0 + 20);
  r.at("TargetVersion_Val").left = verLabel.right() + 15;

  // 8. Firmware page column, centred on the patch area.
  auto& patchArea = r.at("Patch2Send_LV");
  patchArea.left = roundHalfEven(pw / 6.0);
  const double centre = patchArea.left + patchArea.width / 2.0;
  auto& cancel = r.at("UpdateCancel_Btn");
  auto& tip = r.at("FirmwareWpdateTip_Label");
  auto& backtrack = r.at("FirmwareBacktrack_Btn");
  auto& progress = r.at("UpdateProgress_Gauge");
  for (Rect* c : {&cancel, &tip, &backtrack, &progress}) c->left = centredOn(centre, c->width);
  auto& update = r.at("FirmwareUpdate_Btn");
  update.left = cancel.left - update.width - 15;
  auto& check = r.at("CheckForUpdate_Btn");
  check.top = cancel.top;
  check.left = cancel.right() + 15;
  auto& manualMemo = r.at("ManuallyUpdateHelp_Memo");
  manualMemo.top = update.top;
  manualMemo.left = update.right();
  auto& autoMemo = r.at("AutoUpdateHelp_Memo");
  autoMemo.top = manualMemo.top;
  autoMemo.left = check.right();
  auto& download = r.at("PatchDownloadProcess_Gauge");
  download.top = cancel.top - download.height - 5;
  download.left = centredOn(check.left + check.width / 2.0, download.width);
  progress.top = update.top - progress.height - 5;
  auto& reboot = r.at("DeviceReboot_Btn");
  reboot.left = backtrack.left;
  auto& warning = r.at("FUwarningLabel_Label");
  warning.left = centredOn(pw / 4.0, warning.width);
  warning.top = reboot.bottom() + 80;

  // 9. Firmware page right half.
  auto& bevel1 = r.at("FUPageBevel1_Bevel");
  bevel1.top = serverBevel.height;
  bevel1.left = roundHalfEven(pw / 2.0);
  auto& messages = r.at("PatchMessage_Memo");
  messages.height = 330;
  messages.top = bevel1.top;
  messages.left = bevel1.left + 3;
  messages.width = pw - messages.left + 1;
  auto& scroll = r.at("PatchMessage_Scroll");
  scroll.top = messages.top + 1;
  scroll.height = messages.height - 2;
  scroll.left = serverBevel.width - roundHalfEven(scroll.width / 2.0);

  // 10. Firmware page foot.
  auto& url = r.at("WebMessageURL_Label");
  url.left = 16;
  url.top = ph - url.height - 2;
  auto& bevel2 = r.at("FUPageBevel2_Bevel");
  bevel2.top = url.top - 4;
  bevel2.left = -1;

  // 11. Options page.
  auto& scrollPanel = r.at("OptionScrollPanel_Panel");
  scrollPanel.left = scrollPanel.top = -1;
  scrollPanel.width = pw + 2;
  scrollPanel.height = ph + 2;
  auto& panel1 = r.at("OptionPanel1_Panel");
  panel1.left = panel1.top = -1;
  panel1.width = scrollPanel.width + 1;
  auto& speedBevel = r.at("DownloadSpeedLimit_Bevel");
  speedBevel.height = panel1.height - speedBevel.top - 9;
  auto& speedLabel = r.at("DownloadSpeedLimit_Label");
  speedLabel.left = 8;
  auto& speedEdit = r.at("DownloadSpeedLimit_Edit");
  speedEdit.left = speedLabel.right() + 2;
  r.at("DSLKBperSec_Label").left = speedEdit.right() + 2;
  auto& panel2 = r.at("OptionPanel2_Panel");
  panel2.top = panel1.height - 2;
  auto& panel3 = r.at("OptionPanel3_Panel");
  panel3.top = panel2.bottom() - 1;
  auto& panel4 = r.at("OptionPanel4_Panel");
  panel4.top = panel3.bottom() - 1;
  panel2.width = panel3.width = panel4.width = panel1.width;
}

std::vector<int> panelFoldWidths(int clientWidth, int spreaderWidth, bool open) {
  const int step = roundHalfEven(clientWidth / 11.0);
  std::vector<int> widths;
  for (int counter = 10; counter > 0; --counter)
    widths.push_back(open ? counter * step : (11 - counter) * step);
  widths.push_back(open ? spreaderWidth : clientWidth);
  return widths;
}

std::vector<int> helpMemoWidths(int fullWidth, bool unfolding) {
  const int step = roundHalfEven(fullWidth / 11.0);
  std::vector<int> widths;
  if (unfolding) {
    for (int k = 1; k <= 10; ++k) widths.push_back(k * step);
    widths.push_back(fullWidth);
  } else {
    for (int k = 10; k >= 1; --k) widths.push_back(k * step);
  }
  return widths;
}

int centreOffset(int screenSize, int windowSize) { return (screenSize - windowSize) / 2; }
