// The patch maker page as the rest of the window reaches it (defined in
// patchmaker_*.cpp).
#pragma once

class TMainForm;

void buildPatchMakerPageControls(TMainForm& form);
void connectPatchMakerHandlers(TMainForm& form);
