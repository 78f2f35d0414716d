#include "AlertCaption.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace
{

class AccessibleAlert : public QAccessibleWidget
{
public:
    explicit AccessibleAlert(AlertCaption *caption)
        : QAccessibleWidget(caption, QAccessible::AlertMessage)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<AlertCaption *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *accessibleAlert(const QString &className, QObject *object)
{
    if (className == QLatin1String("AlertCaption") && object && object->isWidgetType())
        return new AccessibleAlert(static_cast<AlertCaption *>(object));
    return nullptr;
}

} // namespace

AlertCaption::AlertCaption(QWidget *parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleAlert);
        return true;
    }();
    Q_UNUSED(installed)
    // A point with nothing drawn: it must be on screen to be heard, never to be seen.
    setFixedSize(1, 1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void AlertCaption::announce(const QString &text)
{
    if (text.isEmpty())
        return;
    text_ = text;
    if (isHidden()) {
        show(); // being shown is the first announcement
    } else {
        QAccessibleEvent shown(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
    emit announced(text);
}
