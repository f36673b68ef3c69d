#include "app/control_builders.h"
#include "app/mainform.h"

void TMainForm::InitParamFromIni() {}
void TMainForm::LoadLanguageList() {}
void TMainForm::LanguageChange_BtnClick(QWidget*) {}
void connectSettingsHandlers(TMainForm&) {}
