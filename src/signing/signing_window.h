// The signing part of the window as the rest of it reaches it: the keys read at start, the chosen
// patch's check and what --folders tells about the keys.
#pragma once

#include <QString>
#include <optional>

class TMainForm;

// Reads the trusted keys into the state.
void loadSigningKeys(TMainForm& form);

// With no trusted key, the tip label says that updates are not verified:
// once per start, at the first login (unless its tip tells of the device).
void showUnverifiedTipOnce(TMainForm& form);

// Checks a patch the operator chose. nullopt: refused (the area is emptied
// and the tip says why). Otherwise "Signed by ..." for the tip, or empty
// when no key is trusted.
std::optional<QString> checkChosenPatch(TMainForm& form, const QString& path);

// Lines for --folders: where keys are looked for and the keys found.
QString trustedKeysReport(const TMainForm& form);
