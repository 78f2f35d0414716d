#include "Bindings.h"
#include "DevicePage.h"
#include "DeviceWidgets.h"
#include "common/FieldNumbers.h"
#include "device/SettingRegisters.h"
#include "shell/Station.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

QGridLayout *buildRows(DeviceWidgets &w, const QList<DeviceWidgets::Row> &rows)
{
    auto *grid = new QGridLayout;
    for (int line = 0; line < rows.size(); ++line)
        w.addRow(grid, line, rows[line]);
    return grid;
}

// The device's sensor and trigger parameters, in the order the engineer knows them.
QGridLayout *buildParameterRows(DeviceWidgets &w)
{
    using namespace Setting;
    QList<DeviceWidgets::Row> rows;
    for (const SettingRegister *setting :
         {&TimeZone, &StaLength, &LtaLength, &StaLtaThreshold, &AlarmTime, &OffsetRecords,
          &Output0Trigger, &Output1Trigger, &OptionWord, &SpikeRecords, &Output0Intensity,
          &Output1Intensity, &MountingAngle})
        rows << DeviceWidgets::rowOf(*setting);
    return buildRows(w, rows);
}

// The sensor's zero points and offsets, shown in Engineer mode.
QGridLayout *buildSensorRows(DeviceWidgets &w)
{
    QList<DeviceWidgets::Row> rows;
    for (const SettingRegister &zero : Setting::ZeroPoints)
        rows << DeviceWidgets::rowOf(zero);
    const char *const axes[] = {"a", "b", "c"};
    for (int axis = 0; axis < 3; ++axis)
        rows << DeviceWidgets::Row{
            QStringLiteral("%1 Axis Offset [mg]").arg(QLatin1String(axes[axis])),
            Field::AxisOffsetCopyA + axis};
    return buildRows(w, rows);
}

// The calibration factors, staged by "Modify" and committed by their own "Write".
QWidget *buildCalibrationBlock(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    DeviceSettings &settings = w.station().deviceSettings();
    auto *block = new QGroupBox(QStringLiteral("Calibration"));
    auto *grid = new QGridLayout(block);
    for (int axis = 0; axis < 3; ++axis)
        w.addRow(grid, axis, DeviceWidgets::rowOf(Setting::CalibrationFactors[axis]));
    grid->addWidget(w.commandButton(
                        QStringLiteral("Modify"), QStringLiteral("Modify"),
                        [&settings] { settings.stageCalibration(); },
                        &controls.buttons.stageCalibration),
                    0, 4);
    grid->addWidget(w.commandButton(
                        QStringLiteral("Write"), QStringLiteral("Write (calibration)"),
                        [&settings] { settings.commitSettings(); },
                        &controls.buttons.commitCalibration),
                    1, 4);
    grid->setColumnStretch(5, 1);
    Bindings::visibility(controls.calibrationBlock, block);
    return block;
}

QLayout *buildButtons(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    Station &station = w.station();
    DeviceSettings &settings = station.deviceSettings();
    auto *row = new QHBoxLayout;
    row->addWidget(w.commandButton(
        QStringLiteral("Write"), QStringLiteral("Write"),
        [&settings] { settings.writeSystemSettings(); }, &controls.buttons.writeSystem));
    row->addWidget(w.commandButton(
        QStringLiteral("Default"), QStringLiteral("Default"),
        [&settings] { settings.loadFactoryDefaults(); }, &controls.buttons.loadDefaults));
    row->addWidget(w.commandButton(
        QStringLiteral("Save as default"), QStringLiteral("Save as default"),
        [&settings] { settings.saveAsDefaults(); }, &controls.buttons.saveAsDefaults));
    row->addStretch();
    // "OK" only leaves the page; it sends nothing, so it never waits for a command.
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, &station.views(), &Views::closeDevicePage);
    row->addWidget(ok);
    return row;
}

} // namespace

// Two columns, so that the buttons stay in view on a small screen.
QWidget *buildSystemTab(DeviceWidgets &w)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *columns = new QHBoxLayout;
    columns->addLayout(buildParameterRows(w));
    auto *sensor = new QVBoxLayout;
    sensor->addLayout(buildSensorRows(w));
    sensor->addWidget(buildCalibrationBlock(w));
    sensor->addStretch();
    columns->addSpacing(24);
    columns->addLayout(sensor);
    columns->addStretch();
    layout->addLayout(columns);
    layout->addLayout(buildButtons(w));
    layout->addStretch();
    return page;
}
