#pragma once

#include <QWidget>

class QGroupBox;

// The inside of a panel as an opaque widget in the colour the style paints the panel's inside.
// A transparent value label that changes has the panel, the page and the window beneath it
// repaint too, ten times a second; on this, it repaints alone and looks the same.
class OpaquePanelContent : public QWidget
{
public:
    // Puts itself into `panel`'s layout, which must be set.
    explicit OpaquePanelContent(QGroupBox *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void matchPanelSoon();
    void matchPanel();

    QGroupBox *panel_;
    bool matchDue_ = false;
};
