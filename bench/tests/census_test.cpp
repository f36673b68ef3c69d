#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "widget_census.h"

namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "bench_support_tests";
  static char* argv[] = {name, nullptr};
  static QApplication instance(argc, argv);
  return instance;
}

TEST(WidgetCensus, TheBaselineBuildsWhatTheWindowMade) {
  app();
  QWidget window;
  window.setWindowTitle("Title");
  window.resize(300, 200);
  auto* panel = new QWidget(&window);
  panel->setGeometry(10, 10, 200, 150);
  auto* label = new QLabel("tab\there, 100% and\nnewline", panel);
  label->setGeometry(1, 2, 80, 16);
  QFont small = label->font();
  small.setPointSize(7);
  label->setFont(small);
  auto* hidden = new QPushButton("Go", panel);
  hidden->hide();
  auto* combo = new QComboBox(&window);
  combo->addItems({"one", "two"});
  combo->view();  // made its popup, as the program may have done
  auto* list = new QListWidget(&window);
  list->addItems({"a", "b", "c"});
  window.show();

  QTemporaryDir dir;
  const QString path = dir.filePath("census.tsv");
  const Census taken = takeCensus(&window);
  ASSERT_TRUE(writeCensus(taken, path));
  Census read;
  ASSERT_TRUE(readCensus(path, &read));
  ASSERT_EQ(read.widgets.size(), taken.widgets.size());
  EXPECT_EQ(read.style, taken.style);
  EXPECT_EQ(read.appFont, taken.appFont);

  std::unique_ptr<QWidget> built(buildFromCensus(read));
  built->show();
  // The list's and the combo box's inner widgets are Qt's: left out of the
  // census, made again by building the controls.
  EXPECT_EQ(classCounts(built.get()), classCounts(&window));
  EXPECT_EQ(built->windowTitle(), "Title");
  const auto labels = built->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels[0]->text(), label->text());
  EXPECT_EQ(labels[0]->geometry(), label->geometry());
  EXPECT_EQ(labels[0]->font().pointSize(), 7);
  const auto buttons = built->findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_TRUE(buttons[0]->isHidden());
  const auto combos = built->findChildren<QComboBox*>();
  ASSERT_EQ(combos.size(), 1);
  EXPECT_EQ(combos[0]->count(), 2);
}

TEST(WidgetCensus, RefusesAFileThatIsNotACensus) {
  app();
  QTemporaryDir dir;
  const QString path = dir.filePath("bad.tsv");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("fusion\tfont\n0\tQNoSuchWidget\t0\t0\t1\t1\t0\t0\t0\t\t\n");
  file.close();
  Census census;
  EXPECT_FALSE(readCensus(path, &census));
  EXPECT_FALSE(readCensus(dir.filePath("missing.tsv"), &census));
}

}  // namespace
