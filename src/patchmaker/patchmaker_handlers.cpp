// The patch maker page's handlers.
#include "app/mainform.h"
#include "patchmaker/patchmaker_page.h"

void showPatchMakerProgress(TMainForm* f, int value) {
  if (MainForm == f) f->MakeUpdatePatchProgress_Gauge->setValue(value);
}

bool patchMakerEntry(TMainForm* f, int index, QString* name, QString* path) {
  if (MainForm != f) return false;
  const int count = f->Files2Patch_LV->count();
  QListWidgetItem* item = nullptr;
  if (index >= 1 && index <= count) {
    item = f->Files2Patch_LV->item(index - 1);
  } else if (index == count + 1 && f->UpdateRuleFile_LV->count() > 0) {
    item = f->UpdateRuleFile_LV->item(0);
  }
  if (!item) return false;
  *name = item->text();
  *path = listitem::subItem(item);
  return true;
}
