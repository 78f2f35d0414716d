#include "Bindings.h"
#include "DevicePage.h"
#include "DeviceWidgets.h"
#include "common/FieldNumbers.h"
#include "device/SettingRegisters.h"
#include "shell/Station.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace
{

// The option word's boxes, bit 0 first; the "Modbus TCP Client" box shows in Engineer mode.
QWidget *buildOptions(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    const QList<QPair<Control *, const char *>> boxes = {
        {&controls.options.gbtScale, "GBT enable"},
        {&controls.options.gasMode, "GAS mode"},
        {&controls.options.vectorIntensity, "Vector based Intensity"},
        {&controls.options.server0, "Server0"},
        {&controls.options.ntp, "NTP enable"},
        {&controls.options.dhcp, "DHCP enable"},
        {&controls.options.server1, "Server1 conn enable"},
        {&controls.options.serviceDisabled, "Service disable"},
        {&controls.options.displayLink, "RVD-K09 enable"},
        {&controls.options.mmiScale, "MMI enable"},
        {&controls.options.kmaScale, "KMA enable"},
        {&controls.options.modbusTcpClient, "Modbus TCP Client"},
    };
    auto *box = new QGroupBox(QStringLiteral("Options"));
    auto *grid = new QGridLayout(box);
    const int perColumn = 6;
    for (int k = 0; k < boxes.size(); ++k)
        grid->addWidget(w.checkBox(*boxes[k].first, QString::fromLatin1(boxes[k].second)),
                        k % perColumn, k / perColumn);
    return box;
}

QWidget *buildTriggerMode(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    auto *box = new QGroupBox(QStringLiteral("trig mode"));
    auto *layout = new QVBoxLayout(box);
    const char *const captions[] = {"Displacement trig", "Pd trig", "Pga trig", "Sta/Lta trig"};
    for (int k = 0; k < 4; ++k)
        layout->addWidget(w.checkBox(controls.triggerBoxes[k], QString::fromLatin1(captions[k])));
    layout->addWidget(w.option(controls.lowPassFilter[0], QStringLiteral("10Hz LPF")));
    layout->addWidget(w.option(controls.lowPassFilter[1], QStringLiteral("20Hz LPF")));
    layout->addStretch();
    return box;
}

// Watch and warning levels side by side: caption, then per column the device's value and
// the edit copy, then the unit.
QWidget *buildThresholds(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    auto *box = new QGroupBox(QStringLiteral("Thresholds"));
    auto *grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Watch")), 0, 1, 1, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Warning")), 0, 3, 1, 2, Qt::AlignCenter);
    struct Threshold {
        const char *caption, *name;
        const SettingRegister &watch, &warning;
        const char *unit;
    };
    const Threshold rows[] = {
        {"Pd_th :", "Pd_th", Setting::PdWatch, Setting::PdWarning, "[cm]"},
        {"Pga_th :", "Pga_th", Setting::PgaWatch, Setting::PgaWarning, "[gal]"},
        {"Disp_th :", "Disp_th", Setting::DisplacementWatch, Setting::DisplacementWarning, "[cm]"},
        {"Duration :", "Duration", Setting::WatchDuration, Setting::WarningDuration, "[sec]"},
    };
    int line = 1;
    for (const Threshold &row : rows) {
        const QString watch = QString::fromLatin1(row.name) + QStringLiteral(" (watch)");
        const QString warning = QString::fromLatin1(row.name) + QStringLiteral(" (warning)");
        grid->addWidget(w.caption(QString::fromLatin1(row.caption)), line, 0);
        grid->addWidget(w.liveField(row.watch.live, watch), line, 1);
        // The PGA levels are chosen from the range list; the write takes the combos' texts.
        const bool pga = &row.watch == &Setting::PgaWatch;
        grid->addWidget(
            pga ? static_cast<QWidget *>(w.editCombo(controls.pgaWatchBox, row.watch.edit, watch))
                : w.editField(row.watch.edit, watch),
            line, 2);
        grid->addWidget(w.liveField(row.warning.live, warning), line, 3);
        grid->addWidget(pga ? static_cast<QWidget *>(
                                  w.editCombo(controls.pgaWarningBox, row.warning.edit, warning))
                            : w.editField(row.warning.edit, warning),
                        line, 4);
        grid->addWidget(w.caption(QString::fromLatin1(row.unit)), line, 5);
        ++line;
    }
    grid->setColumnStretch(6, 1);
    return box;
}

QWidget *buildDeviceRows(DeviceWidgets &w)
{
    auto *box = new QGroupBox(QStringLiteral("Device"));
    auto *grid = new QGridLayout(box);
    // The captions keep the blanks that aligned them.
    w.addRow(grid, 0, DeviceWidgets::rowOf(Setting::FirmwareVersion, "Firmware Version  :"));
    w.addRow(grid, 1, DeviceWidgets::rowOf(Setting::SerialNumber, "Serial No.               :"));
    w.addRow(grid, 2, DeviceWidgets::rowOf(Setting::ModbusPort, "Modbus RTU Port (1 or 2):"));
    grid->addWidget(w.caption(QStringLiteral("System Date/Time :")), 3, 0);
    grid->addWidget(w.dateTimeField(Field::DeviceYear, QStringLiteral("System Date/Time")), 3, 1, 1,
                    2);
    grid->addWidget(w.caption(QStringLiteral("Event    Date/Time :")), 4, 0);
    grid->addWidget(w.dateTimeField(Field::EventYear, QStringLiteral("Event Date/Time")), 4, 1, 1,
                    2);
    grid->setColumnStretch(3, 1);
    return box;
}

// The PC keeps the device's clock unless the device has NTP.
QWidget *buildClock(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    ClockAdjust &clock = w.station().clockAdjust();
    auto *box = new QGroupBox(QStringLiteral("Clock"));
    auto *grid = new QGridLayout(box);
    grid->addWidget(
        w.checkBox(controls.clockAdjustedByPc, QStringLiteral("Vorsa clock adjusted by PC")), 0, 0,
        1, 3);
    grid->addWidget(w.caption(QStringLiteral("RTC Cal. Interval")), 1, 0);
    auto *interval = new QLineEdit(box);
    interval->setAccessibleName(QStringLiteral("RTC Cal. Interval"));
    interval->setFixedWidth(interval->fontMetrics().horizontalAdvance(QStringLiteral("8888888")) +
                            14);
    Bindings::lineEdit(controls.clockCheckInterval, interval);
    grid->addWidget(interval, 1, 1);
    auto *count = new QLabel(box);
    count->setAccessibleName(QStringLiteral("RTC Cal. count"));
    Bindings::label(controls.clockCheckCountdown, count);
    grid->addWidget(count, 1, 2);
    grid->addWidget(w.commandButton(
                        QStringLiteral("adjustment"), QStringLiteral("adjustment"),
                        [&clock] { clock.adjustClockNow(); }, &controls.adjustClockButton),
                    2, 0);
    return box;
}

QLayout *buildButtons(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    DeviceSettings &settings = w.station().deviceSettings();
    auto *row = new QHBoxLayout;
    row->addWidget(w.commandButton(
        QStringLiteral("Write"), QStringLiteral("Write"),
        [&settings] { settings.writeGeneralSettings(); }, &controls.buttons.writeGeneral));
    row->addWidget(w.commandButton(QStringLiteral("Alarm ON"), QStringLiteral("Alarm ON"),
                                   [&settings] { settings.switchAlarmOutputsOn(); }));
    row->addWidget(w.commandButton(QStringLiteral("Alarm OFF"), QStringLiteral("Alarm OFF"),
                                   [&settings] { settings.switchAlarmOutputsOff(); }));
    row->addWidget(w.commandButton(QStringLiteral("firmware update"),
                                   QStringLiteral("firmware update"),
                                   [&settings] { settings.startFirmwareUpdate(); }));
    row->addStretch();
    return row;
}

} // namespace

QWidget *buildGeneralTab(DeviceWidgets &w)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *top = new QHBoxLayout;
    top->addWidget(buildOptions(w));
    top->addWidget(buildTriggerMode(w));
    top->addWidget(buildClock(w), 0, Qt::AlignTop);
    top->addStretch();
    layout->addLayout(top);
    layout->addWidget(buildThresholds(w));
    layout->addWidget(buildDeviceRows(w));
    layout->addLayout(buildButtons(w));
    layout->addStretch();
    return page;
}
