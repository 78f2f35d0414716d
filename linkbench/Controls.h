#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Plain models of the form's controls: the core owns and changes them, the window mirrors
// them, so every rule of the tool runs and is testable without a widget.

// A text box's text or a button's caption.
class TextControl : public QObject
{
    Q_OBJECT
public:
    explicit TextControl(const QString &text = {}, QObject *parent = nullptr);

    QString text() const { return value; }
    void setText(const QString &text);

signals:
    void textChanged(const QString &text);

private:
    QString value;
};

// An option button or a check box.
class CheckControl : public QObject
{
    Q_OBJECT
public:
    explicit CheckControl(bool checked = false, QObject *parent = nullptr);

    bool isChecked() const { return value; }
    void setChecked(bool checked);

signals:
    void checkedChanged(bool checked);

private:
    bool value;
};

// A list box: its rows and the selected row (-1 when none).
class ListControl : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    const QStringList &rows() const { return items; }
    int count() const { return int(items.size()); }
    int listIndex() const { return selected; }
    QString selectedRow() const;

    void addItem(const QString &row);
    void removeItem(int index);
    void clear();
    void setListIndex(int index);

signals:
    void rowsChanged();
    void listIndexChanged(int index);

private:
    QStringList items;
    int selected = -1;
};
