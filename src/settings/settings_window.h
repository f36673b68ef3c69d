// The Options page as the rest of the window reaches it (defined in
// settings_*.cpp).
#pragma once

class TMainForm;

void buildOptionsPageControls(TMainForm& form);
void connectSettingsHandlers(TMainForm& form);
