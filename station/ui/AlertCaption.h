#pragma once

#include <QString>
#include <QWidget>

// Speaks to assistive technology, draws nothing: each announcement shows the caption as an
// alert (role AlertMessage, state showing, the text as its name), which a screen reader reads
// out at once. Qt has no announcement of its own to do this.
class AlertCaption : public QWidget
{
    Q_OBJECT
public:
    explicit AlertCaption(QWidget *parent = nullptr);

    QString text() const { return text_; }
    // One alert with `text`; an empty text says nothing.
    void announce(const QString &text);

signals:
    // After the alert has been sent to assistive technology.
    void announced(const QString &text);

private:
    QString text_;
};
