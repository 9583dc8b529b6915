#include "widgets/WheelGuard.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

namespace {

class TWheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto* control = qobject_cast<QWidget*>(watched);
        const QWidget* focus = QApplication::focusWidget();
        if (control && (control->hasFocus() || (focus && control->isAncestorOf(focus))))
            return false;
        // Not taken here: the parents see the wheel (a scrolling area scrolls).
        event->ignore();
        return true;
    }
};

}  // namespace

void GuardWheel(QWidget* control)
{
    if (!control)
        return;
    if (control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
    // One guard per control, owned by it.
    const QString name = QStringLiteral("wheelGuard");
    if (!control->findChild<QObject*>(name, Qt::FindDirectChildrenOnly)) {
        auto* guard = new TWheelGuard(control);
        guard->setObjectName(name);
        control->installEventFilter(guard);
    }
}
