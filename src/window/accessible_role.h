#pragma once

#include <QAccessible>

class QWidget;

namespace tarvoni {

// Tells assistive technology that `widget` is a `role` where Qt's own guess would mislead a
// screen reader: the window is a frame, not an anonymous filler; a picture that only
// decorates is filler, not an unnamed image. A label given a role is named by its own text
// alone: Qt would name an empty label after the caption that names it ("Station:").
void setAccessibleRole(QWidget *widget, QAccessible::Role role);

} // namespace tarvoni
