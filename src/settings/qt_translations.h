// Qt's own texts (the buttons of message boxes, the labels of the file and
// folder dialogs) in the language of the active pack. Debian ships them as
// qt_<locale>.qm in Qt's translations folder (qt6-translations-l10n).
#pragma once

#include <QString>
#include <memory>

class QTranslator;

class QtTranslations {
 public:
  QtTranslations();
  ~QtTranslations();
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;

  // Puts Qt's texts for locale (such as "zh_CN") in place of the ones in
  // use; an empty locale, or one without a catalogue, leaves Qt's built-in
  // English. Returns whether a catalogue was installed.
  bool use(const QString& locale);
  QString locale() const { return locale_; }

 private:
  std::unique_ptr<QTranslator> translator_;
  QString locale_;
};
