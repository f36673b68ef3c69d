// The patch maker's version rows without widgets: each row is four
// two-digit parts (01.02.03.04) typed one key at a time, normalised when a
// part is left, and read together as one decimal number.
#pragma once

#include <QChar>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// What a part field does with one typed character.
enum class PartKey {
  Pass,            // digits and Backspace go into the field
  NormaliseAndOn,  // the dot: normalise the part, then on to the next part
  Swallow,         // anything else never reaches the field
};
PartKey classifyPartKey(QChar key);

// The toolkit's text-to-integer conversion: optional leading blanks, an
// optional sign, decimal digits, nothing after them, within 32 bits.
std::optional<std::int32_t> toInteger(const QString& text);
// The standard conversion error for a text that is not a number.
QString notAnIntegerText(const QString& text);

// A part's text after leaving it: empty becomes "00", a number is written
// with at least two digits ("5" -> "05"); nullopt when it is not a number.
std::optional<QString> normalisedPart(const QString& text);

using VersionRow = std::array<QString, 4>;
// The four part texts one after the other, as the row is read.
QString rowText(const VersionRow& parts);
// The row as one decimal number: 00.01.02.03 is 10203.
std::optional<std::int32_t> versionNumberOf(const VersionRow& parts);

// hardware name + new version in decimal + ".patch": "47RKT10203.patch".
QString patchFileName(const QString& hardwareName, std::int32_t newVersion);
// The output folder, one separator, the file name.
QString patchOutputPath(const QString& folder, const QString& fileName);
