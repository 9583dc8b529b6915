// Enabling a control so that the user can or cannot edit it, and the rule
// that a container's enabled state reaches everything inside it.
#pragma once

class QWidget;

// Enables or disables one control so that the user can no longer edit it: the
// widget's own state and, for a spin edit, also the control's own flag.
void SetControlEnabled(QWidget* control, bool enabled);
// The enabled state a control has of its own (ignoring its parents).
bool ControlEnabled(const QWidget* control);

// Gives every control inside Container, at any depth through nested
// containers, the container's own enabled state.
void EnabledAsParent(QWidget* container);
