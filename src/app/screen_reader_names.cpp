// Names for screen readers on every control of the main window.
#include <QAction>
#include <QLineEdit>
#include <QTabBar>

#include "app/mainform.h"
#include "remotefiles/download_board.h"
#include "settings/accessible_names.h"
#include "widgets/skinned_controls.h"

namespace {

QString nameOf(const char* component, const LanguagePack* pack) {
  return QString::fromStdString(accessibleNameOf(component, pack));
}

}  // namespace

void TMainForm::nameControlsForScreenReaders(const LanguagePack* pack) {
  TMainForm& f = *this;
  for (QWidget* control : f.findChildren<QWidget*>()) {
    const std::string name = accessibleNameOf(control->objectName().toStdString(), pack);
    if (!name.empty()) control->setAccessibleName(QString::fromStdString(name));
  }
  TPageControl* pages = f.Pages_PageControl;
  pages->tabBar()->setAccessibleName(nameOf("Pages_PageControl", pack));
  for (int i = 0; i < pages->pageCount(); ++i)
    pages->page(i)->setAccessibleName(pages->pageCaption(pages->page(i)));
  const QString download = nameOf("MissionProgress_Gauge", pack);
  for (std::size_t i = 0; i < f.MissionProgress_Gauges.size(); ++i)
    f.MissionProgress_Gauges[i]->setAccessibleName(download + " " + QString::number(i + 1));
  if (auto* show = f.Password_Edit->findChild<QAction*>("ShowPassword_Action")) {
    show->setText(f.packText("ShowPassword_Hint", "Show the password"));
    show->setToolTip(show->text());
  }
}
