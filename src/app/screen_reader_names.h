// Names for screen readers on every control of the main window.
#pragma once

class LanguagePack;
class TMainForm;

// Gives the controls whose caption does not name them their name under the
// pack (none: English); tab pages take their tab's caption. Captioned
// buttons and labels are read by their caption and need nothing.
void nameControlsForScreenReaders(TMainForm& form, const LanguagePack* pack);
