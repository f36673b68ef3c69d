// The window's named controls in creation order. Language packs walk them in
// that order and decide by each control's kind what a key may change.
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

class ControlRegistry {
 public:
  // Registers a named control: sets its objectName and kind ("skinKind") and
  // appends it to the creation order.
  template <typename T>
  T* reg(T* control, const char* name, const char* kind) {
    control->setObjectName(QString::fromLatin1(name));
    control->setProperty("skinKind", kind);
    components_.append(control);
    return control;
  }
  const QVector<QWidget*>& components() const { return components_; }

 private:
  QVector<QWidget*> components_;
};
