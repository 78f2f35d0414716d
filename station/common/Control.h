#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>

// The model of one control of the window (button, label, text box, check box, option,
// combo box, frame, menu item). The logic reads and writes it; the widgets mirror it both
// ways. Only the properties a control kind uses matter for it.
class Control : public QObject
{
    Q_OBJECT
public:
    explicit Control(QObject *parent = nullptr) : QObject(parent) {}
    Control(const QString &text, QObject *parent = nullptr) : QObject(parent), text_(text) {}

    // Caption of a button, label, frame or menu item; text of a text box or combo box.
    QString text() const { return text_; }
    void setText(const QString &text);
    // A choice from a combo box's list: the text changes without the typed-text signal,
    // and `chosen` follows.
    void choose(const QString &text);

    bool isVisible() const { return visible_; }
    void setVisible(bool visible);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // Check box state 0/1, option selected 0/1.
    bool isChecked() const { return checked_; }
    void setChecked(bool checked);

    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor &color);
    QColor foreColor() const { return foreColor_; }
    void setForeColor(const QColor &color);

    QStringList items() const { return items_; }
    void setItems(const QStringList &items);

signals:
    void changed();        // any property; the widgets refresh
    void textChanged();    // the text changed by typing or by code (a Change event)
    void chosen();         // a list choice (a Click event of a combo box)
    void checkedChanged(); // the checked state changed (a Click event of a check box)

private:
    QString text_;
    QStringList items_;
    QColor backColor_;
    QColor foreColor_;
    bool visible_ = true;
    bool enabled_ = true;
    bool checked_ = false;
};
