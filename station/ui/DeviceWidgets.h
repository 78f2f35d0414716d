#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class Control;
struct DevicePageControls;
struct SettingRegister;
class LiveFields;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class Station;

// Makes the controls of the device pages and keeps them in step with the station: live
// fields that follow the polling, edit fields the engineer types into, and buttons that wait
// while a device command runs. Every control is named for screen readers: an edit field by
// its row's caption, the live field beside it by the same name + " (device)".
class DeviceWidgets : public QObject
{
    Q_OBJECT
public:
    explicit DeviceWidgets(Station &station, QObject *parent = nullptr);
    ~DeviceWidgets() override;

    // A caption as a name: without the blanks and colon that aligned it on the form.
    static QString nameOf(const QString &caption);
    // What a field shows for its text: a value never read from the device is a dash.
    static QString shownText(const QString &fieldText);
    static constexpr const char16_t *Unread = u"\u2014";

    // Why the pages' writes cannot go out now; empty when they can.
    QString lockReason() const;
    // Why the button of `model` cannot act, also when only its own state holds it back.
    QString reasonFor(Control *model) const;

    Station &station() { return station_; }
    LiveFields &fields();
    DevicePageControls &controls();

    // One row: caption, then the device's value and its edit copy side by side, then a unit.
    struct Row {
        QString caption;
        int live = -1;
        int edit = -1;  // -1: display only
        QString unit{}; // most rows have none
    };
    // The row of a device setting: its caption (or `shownCaption`, when the page lays the
    // caption out its own way), the device's value and the edit copy.
    static Row rowOf(const SettingRegister &setting, const char *shownCaption = nullptr);
    // Puts `row` into `grid` at line `line`, starting at column 0 (caption, live, edit, unit);
    // the captions show while the live field does.
    void addRow(QGridLayout *grid, int line, const Row &row);

    // The read-only mirror of live field `field`, `chars` characters wide.
    QLineEdit *liveField(int field, const QString &name, int chars = 7);
    // The engineer's copy of a field; marked while the latest command refuses it.
    QLineEdit *editField(int field, const QString &name, int chars = 7);
    // A combo box that stands for edit field `field` (its text is copied there before a write).
    QComboBox *editCombo(Control &model, int field, const QString &name);
    // A display of six live fields (year, month, day, hour, minute, second) as one date.
    QLineEdit *dateTimeField(int firstField, const QString &name);
    // Shown while live field `shownWith` is, when given.
    QLabel *caption(const QString &text, int shownWith = -1);
    QCheckBox *checkBox(Control &model, const QString &caption);
    QRadioButton *option(Control &model, const QString &caption);
    // A button that sends to the device: disabled while any device command runs and while
    // its model (when given) is disabled; its model also gives its caption and visibility.
    QPushButton *commandButton(const QString &caption, const QString &name,
                               const std::function<void()> &click, Control *model = nullptr);

private:
    QLineEdit *readOnlyField(const QString &name, int chars);
    // Shows `widget` while live field `field` is shown.
    void showWith(QWidget *widget, int field);
    void markRefused(const QList<int> &wrongFields);
    void setMarked(QWidget *widget, bool marked);
    void syncButton(QPushButton *button, Control *model);
    void syncButtons();

    Station &station_;
    // Holds new controls until a page takes them: shown without a parent, a control would
    // open as a window of its own.
    std::unique_ptr<QWidget> nursery_;
    QHash<int, QWidget *> editWidgets_;
    QList<QPair<QPushButton *, Control *>> buttons_;
};
