#include "patchmaker/version_fields.h"

#include <QDir>
#include <limits>

PartKey classifyPartKey(QChar key) {
  if (key == QChar('\b') || (key >= QChar('0') && key <= QChar('9'))) return PartKey::Pass;
  if (key == QChar('.')) return PartKey::NormaliseAndOn;
  return PartKey::Swallow;
}

std::optional<std::int32_t> toInteger(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == QChar(' ')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == QChar('-') || text[i] == QChar('+')))
    negative = text[i++] == QChar('-');
  if (i == text.size()) return std::nullopt;
  // Accumulated as a negative number so that the lowest value fits too.
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c < QChar('0') || c > QChar('9')) return std::nullopt;
    value = value * 10 - (c.unicode() - '0');
    if (value < kLowest) return std::nullopt;
  }
  if (!negative) {
    if (-value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    value = -value;
  }
  return static_cast<std::int32_t>(value);
}

QString notAnIntegerText(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

std::optional<QString> normalisedPart(const QString& text) {
  if (text.isEmpty()) return QStringLiteral("00");
  const std::optional<std::int32_t> value = toInteger(text);
  if (!value) return std::nullopt;
  return QString::asprintf("%.2d", *value);
}

QString rowText(const VersionRow& parts) { return parts[0] + parts[1] + parts[2] + parts[3]; }

std::optional<std::int32_t> versionNumberOf(const VersionRow& parts) {
  return toInteger(rowText(parts));
}

QString patchFileName(const QString& hardwareName, std::int32_t newVersion) {
  return hardwareName + QString::number(newVersion) + QStringLiteral(".patch");
}

QString patchOutputPath(const QString& folder, const QString& fileName) {
  return folder + QDir::separator() + fileName;
}
