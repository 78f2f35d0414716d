#include "OpaquePanelContent.h"

#include <QEvent>
#include <QGroupBox>
#include <QImage>
#include <QLayout>

OpaquePanelContent::OpaquePanelContent(QGroupBox *panel) : QWidget(panel), panel_(panel)
{
    panel->layout()->addWidget(this);
    panel->installEventFilter(this);
}

bool OpaquePanelContent::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == panel_ && (type == QEvent::Show || type == QEvent::Resize ||
                              type == QEvent::StyleChange || type == QEvent::PaletteChange))
        matchPanelSoon();
    return QWidget::eventFilter(watched, event);
}

// Drawing the panel from within its own events would re-enter them; once they are over will do.
void OpaquePanelContent::matchPanelSoon()
{
    if (matchDue_)
        return;
    matchDue_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            matchDue_ = false;
            matchPanel();
        },
        Qt::QueuedConnection);
}

// What lies beneath the middle of this widget, its ancestors drawn alone one over the other
// from the window down, is the colour to fill with for this style and palette.
void OpaquePanelContent::matchPanel()
{
    if (geometry().isEmpty())
        return;
    QList<QWidget *> beneath;
    for (QWidget *w = parentWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget())
        beneath.prepend(w);
    QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    for (QWidget *w : beneath) {
        const QPoint middle = mapTo(w, rect().center());
        w->render(&pixel, QPoint(), QRegion(middle.x(), middle.y(), 1, 1),
                  w->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
    }
    const QColor inside = pixel.pixelColor(0, 0);
    if (autoFillBackground() && palette().color(QPalette::Window) == inside)
        return;
    QPalette own = palette();
    own.setColor(QPalette::Window, inside);
    setPalette(own);
    setAutoFillBackground(true);
}
