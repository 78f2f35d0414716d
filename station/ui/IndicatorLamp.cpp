#include "IndicatorLamp.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace
{

class AccessibleLamp : public QAccessibleWidget
{
public:
    explicit AccessibleLamp(IndicatorLamp *lamp) : QAccessibleWidget(lamp, QAccessible::CheckBox) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = static_cast<IndicatorLamp *>(widget())->isLit();
        s.readOnly = true;
        return s;
    }
};

QAccessibleInterface *accessibleLamp(const QString &className, QObject *object)
{
    if (className == QLatin1String("IndicatorLamp") && object && object->isWidgetType())
        return new AccessibleLamp(static_cast<IndicatorLamp *>(object));
    return nullptr;
}

} // namespace

IndicatorLamp::IndicatorLamp(const QString &name, QWidget *parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleLamp);
        return true;
    }();
    Q_UNUSED(installed)
    setAccessibleName(name);
}

void IndicatorLamp::setLit(bool lit)
{
    if (lit == lit_)
        return;
    lit_ = lit;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}
