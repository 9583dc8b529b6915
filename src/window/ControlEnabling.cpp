#include "window/ControlEnabling.h"

#include <QFrame>
#include <QGroupBox>

#include "widgets/PlusSpinEdit.h"

void SetControlEnabled(QWidget* control, bool enabled)
{
    if (!control)
        return;
    control->setEnabled(enabled);
    // A spin edit lays out and redraws its buttons on every change of state;
    // a read-back confirms far more states than it changes.
    if (auto* spin = qobject_cast<TPlusSpinEdit*>(control); spin && spin->Enabled() != enabled)
        spin->SetEnabled(enabled);
}

bool ControlEnabled(const QWidget* control)
{
    if (!control || control->testAttribute(Qt::WA_ForceDisabled))
        return false;
    if (auto* spin = qobject_cast<const TPlusSpinEdit*>(control))
        return spin->Enabled();
    return true;
}

namespace {

// Containers in the sense of the enabling rule: widgets made to hold other
// controls (group boxes, plain frames and panels), not composite controls
// such as spin edits or combo boxes whose children are their own parts.
bool isContainer(const QWidget* w)
{
    const QMetaObject* mo = w->metaObject();
    return qobject_cast<const QGroupBox*>(w) || mo == &QWidget::staticMetaObject || mo == &QFrame::staticMetaObject;
}

}  // namespace

void EnabledAsParent(QWidget* container)
{
    if (!container)
        return;
    const bool enabled = !container->testAttribute(Qt::WA_ForceDisabled);
    for (QObject* child : container->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        SetControlEnabled(w, enabled);
        if (isContainer(w))
            EnabledAsParent(w);
    }
}
