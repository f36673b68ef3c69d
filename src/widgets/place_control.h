// Shorthands for building controls at fixed places.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "widgets/control_registry.h"
#include "widgets/skinned_controls.h"

namespace build {

inline QLabel* label(ControlRegistry& f, QWidget* parent, const char* name, const QString& text,
                     int left, int top) {
  auto* l = f.reg(new QLabel(text, parent), name, skin::kLabel);
  l->setProperty("autoSize", true);
  l->move(left, top);  // sized to its caption when the layout runs
  return l;
}

inline QPushButton* button(ControlRegistry& f, QWidget* parent, const char* name,
                           const QString& text, int left, int top, int width, int height) {
  auto* b = f.reg(new QPushButton(text, parent), name, skin::kButton);
  b->setGeometry(left, top, width, height);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

inline QLineEdit* edit(ControlRegistry& f, QWidget* parent, const char* name, const QString& text,
                       int left, int top, int width, int height) {
  auto* e = f.reg(new QLineEdit(text, parent), name, skin::kEdit);
  e->setGeometry(left, top, width, height);
  return e;
}

inline TSkinPanel* panel(ControlRegistry& f, QWidget* parent, const char* name, int left, int top,
                         int width, int height) {
  auto* p = f.reg(new TSkinPanel(parent), name, skin::kPanel);
  p->setGeometry(left, top, width, height);
  return p;
}

inline TBevel* bevel(ControlRegistry& f, QWidget* parent, const char* name, int left, int top,
                     int width, int height) {
  auto* b = f.reg(new TBevel(parent), name, skin::kOther);
  b->setGeometry(left, top, width, height);
  return b;
}

}  // namespace build
