#include "DeviceWidgets.h"

#include "Bindings.h"
#include "device/SettingRegisters.h"
#include "shell/Station.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

namespace
{

// Wide enough for `chars` digits, so that no value is cut off.
void fitWidth(QWidget *widget, int chars)
{
    const QFontMetrics metrics(widget->font());
    widget->setFixedWidth(metrics.horizontalAdvance(QString(chars, QLatin1Char('8'))) + 14);
}

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

const char *const RefusedStyle = "background-color: #ffd6d6; border: 2px solid #c00000;";

} // namespace

DeviceWidgets::DeviceWidgets(Station &station, QObject *parent)
    : QObject(parent), station_(station), nursery_(std::make_unique<QWidget>())
{
    DeviceCommands &commands = station_.deviceCommands();
    connect(&commands, &DeviceCommands::fieldsChecked, this, &DeviceWidgets::markRefused);
    connect(&commands, &DeviceCommands::busyChanged, this, &DeviceWidgets::syncButtons);
    connect(&station_.linkStatus(), &LinkStatus::openChanged, this, &DeviceWidgets::syncButtons);
    connect(&station_.deviceSettings(), &DeviceSettings::readStateChanged, this,
            &DeviceWidgets::syncButtons);
    connect(&station_, &Station::userModeChanged, this, &DeviceWidgets::syncButtons);
}

QString DeviceWidgets::shownText(const QString &fieldText)
{
    return fieldText == QLatin1String(LiveFields::NotYetRead) ? QString::fromUtf16(Unread)
                                                              : fieldText;
}

QString DeviceWidgets::lockReason() const
{
    if (station_.userMode() == 2)
        return QStringLiteral("Educate mode: settings are locked");
    if (!station_.linkStatus().isOpen())
        return QStringLiteral("link not open");
    if (station_.deviceSettings().isReadingInRecordMode())
        return QStringLiteral("Record mode: reading settings…");
    if (station_.deviceCommands().isBusy())
        return QStringLiteral("another device command is in progress");
    return {};
}

QString DeviceWidgets::reasonFor(Control *model) const
{
    QString reason = lockReason();
    if (reason.isEmpty() && model && !model->isEnabled() &&
        station_.deviceSettings().controls().buttons.lockedInRecordMode().contains(model))
        reason = QStringLiteral("Record mode: the device's settings are written with Record mode "
                                "off (System-Host)");
    return reason;
}

void DeviceWidgets::syncButtons()
{
    for (const auto &[button, model] : buttons_)
        syncButton(button, model);
}

DeviceWidgets::~DeviceWidgets() = default;

QString DeviceWidgets::nameOf(const QString &caption)
{
    QString name = caption.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}

DeviceWidgets::Row DeviceWidgets::rowOf(const SettingRegister &setting, const char *shownCaption)
{
    const QString caption =
        shownCaption ? QString::fromUtf8(shownCaption) : Setting::captionOf(setting);
    return {caption, setting.live, setting.edit};
}

LiveFields &DeviceWidgets::fields()
{
    return station_.readout().liveFields;
}

DevicePageControls &DeviceWidgets::controls()
{
    return station_.deviceSettings().controls();
}

void DeviceWidgets::addRow(QGridLayout *grid, int line, const Row &row)
{
    const QString name = nameOf(row.caption);
    grid->addWidget(caption(row.caption, row.live), line, 0);
    grid->addWidget(liveField(row.live, name), line, 1);
    if (row.edit >= 0)
        grid->addWidget(editField(row.edit, name), line, 2);
    if (!row.unit.isEmpty())
        grid->addWidget(caption(row.unit, row.live), line, 3);
}

void DeviceWidgets::showWith(QWidget *widget, int field)
{
    if (field < 0)
        return;
    LiveFields &fields = this->fields();
    auto sync = [widget, field, &fields] { widget->setVisible(fields.isVisible(field)); };
    Bindings::onFieldStateChange(fields, field, widget, sync);
    sync();
}

QLineEdit *DeviceWidgets::readOnlyField(const QString &name, int chars)
{
    auto *widget = new QLineEdit(nursery_.get());
    widget->setReadOnly(true);
    widget->setFocusPolicy(Qt::ClickFocus); // Tab walks the edit fields only
    widget->setAccessibleName(name + QStringLiteral(" (device)"));
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    widget->setPalette(palette);
    fitWidth(widget, chars);
    return widget;
}

QLineEdit *DeviceWidgets::liveField(int field, const QString &name, int chars)
{
    QLineEdit *widget = readOnlyField(name, chars);
    LiveFields &fields = this->fields();
    auto sync = [widget, field, &fields] {
        widget->setText(shownText(fields.text(field)));
        widget->setCursorPosition(0);
    };
    Bindings::onFieldChange(fields, field, widget, sync);
    sync();
    showWith(widget, field);
    return widget;
}

QLineEdit *DeviceWidgets::editField(int field, const QString &name, int chars)
{
    auto *widget = new QLineEdit(nursery_.get());
    widget->setAccessibleName(name);
    fitWidth(widget, chars);
    LiveFields &fields = this->fields();
    auto mirroring = std::make_shared<bool>(false);
    auto sync = [widget, field, &fields, mirroring] {
        const QString shown = shownText(fields.text(field));
        if (widget->text() != shown) {
            *mirroring = true;
            widget->setText(shown);
            *mirroring = false;
        }
        widget->setEnabled(fields.isEnabled(field));
    };
    Bindings::onFieldChange(fields, field, widget, sync);
    Bindings::onFieldStateChange(fields, field, widget, sync);
    // Whatever put the text there (typing, paste, assistive technology), a write sends it.
    connect(widget, &QLineEdit::textChanged, this,
            [this, widget, field, &fields, mirroring](const QString &t) {
                if (*mirroring)
                    return;
                setMarked(widget, false);
                // Typing beside the dash of an unread value replaces it.
                QString typed = t;
                typed.remove(QString::fromUtf16(Unread));
                if (typed.isEmpty() && !t.isEmpty())
                    typed = QString::fromLatin1(LiveFields::NotYetRead);
                fields.setText(field, typed);
            });
    sync();
    showWith(widget, field);
    editWidgets_.insert(field, widget);
    return widget;
}

QComboBox *DeviceWidgets::editCombo(Control &model, int field, const QString &name)
{
    auto *combo = new QComboBox(nursery_.get());
    Bindings::comboBox(model, combo);
    combo->setAccessibleName(name);
    // On Linux a combo box is announced by its text; its edit line carries the name.
    combo->lineEdit()->setAccessibleName(name);
    fitWidth(combo, 8);
    connect(combo, &QComboBox::editTextChanged, this, [this, combo] { setMarked(combo, false); });
    editWidgets_.insert(field, combo);
    return combo;
}

QLineEdit *DeviceWidgets::dateTimeField(int firstField, const QString &name)
{
    QLineEdit *widget = readOnlyField(name, 19);
    LiveFields &fields = this->fields();
    auto sync = [widget, firstField, &fields] {
        for (int k = 0; k < 6; ++k) {
            if (fields.text(firstField + k) == QLatin1String(LiveFields::NotYetRead)) {
                widget->setText(QString::fromUtf16(Unread));
                return;
            }
        }
        const auto part = [&fields, firstField](int k) {
            return twoDigits(fields.integer(firstField + k));
        };
        widget->setText(QStringLiteral("%1/%2/%3 %4:%5:%6")
                            .arg(fields.integer(firstField))
                            .arg(part(1), part(2), part(3), part(4), part(5)));
    };
    for (int k = 0; k < 6; ++k)
        Bindings::onFieldChange(fields, firstField + k, widget, sync);
    sync();
    return widget;
}

QLabel *DeviceWidgets::caption(const QString &text, int shownWith)
{
    auto *label = new QLabel(text, nursery_.get());
    showWith(label, shownWith);
    return label;
}

QCheckBox *DeviceWidgets::checkBox(Control &model, const QString &caption)
{
    auto *box = new QCheckBox(caption, nursery_.get());
    box->setAccessibleName(caption);
    Bindings::checkable(model, box);
    return box;
}

QRadioButton *DeviceWidgets::option(Control &model, const QString &caption)
{
    auto *button = new QRadioButton(caption, nursery_.get());
    button->setAccessibleName(caption);
    Bindings::checkable(model, button);
    return button;
}

QPushButton *DeviceWidgets::commandButton(const QString &caption, const QString &name,
                                          const std::function<void()> &click, Control *model)
{
    auto *button = new QPushButton(caption, nursery_.get());
    button->setAccessibleName(name);
    button->setAutoDefault(false); // Enter in an edit field sends nothing
    connect(button, &QPushButton::clicked, this, click);
    if (model)
        connect(model, &Control::changed, button,
                [this, button, model] { syncButton(button, model); });
    buttons_.append({button, model});
    syncButton(button, model);
    return button;
}

void DeviceWidgets::syncButton(QPushButton *button, Control *model)
{
    const QString reason = reasonFor(model);
    button->setEnabled(reason.isEmpty() && (!model || model->isEnabled()));
    button->setToolTip(reason);
    button->setAccessibleDescription(reason);
    if (!model)
        return;
    if (!model->text().isEmpty())
        button->setText(model->text());
    button->setVisible(model->isVisible());
}

void DeviceWidgets::markRefused(const QList<int> &wrongFields)
{
    for (auto it = editWidgets_.cbegin(); it != editWidgets_.cend(); ++it)
        setMarked(it.value(), wrongFields.contains(it.key()));
}

void DeviceWidgets::setMarked(QWidget *widget, bool marked)
{
    widget->setStyleSheet(marked ? QLatin1String(RefusedStyle) : QString());
    widget->setAccessibleDescription(marked ? QStringLiteral("refused: see the status bar")
                                            : QString());
}
