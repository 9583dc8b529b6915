// Keeps the mouse wheel from changing a control that does not have the
// keyboard focus: a wheel turned to scroll past a selection list would
// otherwise pick another item (and the panel would send it at once). The
// control no longer takes the focus from the wheel either; the wheel event
// goes on to the control's parents.
#pragma once

class QWidget;

void GuardWheel(QWidget* control);
