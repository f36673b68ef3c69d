#include "settings/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QtTranslations::QtTranslations() = default;

QtTranslations::~QtTranslations() {
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
}

bool QtTranslations::use(const QString& locale) {
  if (translator_) {
    QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
  }
  locale_.clear();
  if (locale.isEmpty()) return false;
  auto translator = std::make_unique<QTranslator>();
  // qt_<locale>.qm names the module catalogues (qtbase_...) it is made of.
  if (!translator->load("qt_" + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  QCoreApplication::installTranslator(translator.get());
  translator_ = std::move(translator);
  locale_ = locale;
  return true;
}
