// The help memos beside FirmwareUpdate_Btn and CheckForUpdate_Btn unfold
// while the pointer is over their button. Each animation blocks the
// window's thread for about 200 ms, as the design intends.
#include "app/mainform.h"

namespace {

constexpr int kStepMs = 20;

QPlainTextEdit* memoFor(TMainForm& f, QWidget* sender) {
  if (sender == f.FirmwareUpdate_Btn) return f.ManuallyUpdateHelp_Memo;
  if (sender == f.CheckForUpdate_Btn) return f.AutoUpdateHelp_Memo;
  return nullptr;
}

// The room between the update button and the page's middle bevel; both
// memos unfold to it, although the automatic one starts further right.
int fullMemoWidth(const TMainForm& f) {
  const QRect button = f.FirmwareUpdate_Btn->geometry();
  return f.FUPageBevel1_Bevel->x() - (button.x() + button.width());
}

void resizeWidth(QPlainTextEdit* memo, int width) { memo->resize(width, memo->height()); }

}  // namespace

void TMainForm::FU_BtnMouseEnter(QWidget* sender) {
  QPlainTextEdit* memo = memoFor(*this, sender);
  if (!memo) return;
  const std::vector<int> widths = helpMemoWidths(fullMemoWidth(*this), true);
  memo->show();
  memo->raise();  // over the neighbouring buttons and gauges
  for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
    resizeWidth(memo, widths[i]);
    memo->repaint();
    services().sleeper->sleepMs(kStepMs);
  }
  resizeWidth(memo, widths.back());
  memo->repaint();
}

void TMainForm::FU_BtnMouseLeave(QWidget* sender) {
  QPlainTextEdit* memo = memoFor(*this, sender);
  if (!memo) return;
  for (int width : helpMemoWidths(fullMemoWidth(*this), false)) {
    resizeWidth(memo, width);
    memo->repaint();
    services().sleeper->sleepMs(kStepMs);
  }
  memo->hide();
}
