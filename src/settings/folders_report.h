// What the settings part of the window tells from outside it.
#pragma once

#include <QString>

class TMainForm;

// Where the window read its languages and help texts and keeps its settings,
// which languages it found and whether help texts were loaded, one item a
// line; for `tovarin --folders`.
QString programFoldersReport(const TMainForm& form);
