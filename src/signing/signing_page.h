// The window's side of signatures: the keys read at start, the chosen
// patch's check and what --folders tells about the keys.
#pragma once

#include <QString>
#include <optional>

class TMainForm;

// Reads the trusted keys into the state; with none, the tip label says once
// that updates are not verified.
void loadSigningKeys(TMainForm& form);

// Checks a patch the operator chose. nullopt: refused (the area is emptied
// and the tip says why). Otherwise "Signed by ..." for the tip, or empty
// when no key is trusted.
std::optional<QString> checkChosenPatch(TMainForm& form, const QString& path);

// Lines for --folders: where keys are looked for and the keys found.
QString trustedKeysReport(const TMainForm& form);
