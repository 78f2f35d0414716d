#include "Bindings.h"
#include "DevicePage.h"
#include "DeviceWidgets.h"
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
    return buildRows(w, {
                            {QStringLiteral("Time Zone"), 14, 114},
                            {QStringLiteral("STA Length [0.1 sec]"), 15, 115},
                            {QStringLiteral("LTA Length [0.1 sec]"), 16, 116},
                            {QStringLiteral("Threshold STA/LTA"), 17, 117},
                            {QStringLiteral("Seismic Alarm Time"), 20, 120},
                            {QStringLiteral("Offset Records"), 22, 122},
                            {QStringLiteral("DO 0 Trig[gal]"), 23, 123},
                            {QStringLiteral("DO 1 Trig[gal]"), 24, 124},
                            {QStringLiteral("Slope of Spike"), 18, 118},
                            {QStringLiteral("Records of Spike"), 19, 119},
                            {QStringLiteral("eews DO 0 Intensity"), 235, 236},
                            {QStringLiteral("eews DO 1 Intensity"), 237, 238},
                            {QString::fromUtf8("Mounting Angle(0.1°)"), 248, 249},
                        });
}

// The sensor's zero points and offsets, shown in Engineer mode.
QGridLayout *buildSensorRows(DeviceWidgets &w)
{
    return buildRows(w, {
                            {QStringLiteral("a_0g [0.1mg]"), 65, 165},
                            {QStringLiteral("b_0g [0.1mg]"), 66, 166},
                            {QStringLiteral("c_0g [0.1mg]"), 67, 167},
                            {QStringLiteral("a Axis Offset [mg]"), 205, -1},
                            {QStringLiteral("b Axis Offset [mg]"), 206, -1},
                            {QStringLiteral("c Axis Offset [mg]"), 207, -1},
                        });
}

// The calibration factors, staged by "Modify" and committed by their own "Write".
QWidget *buildCalibrationBlock(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    DeviceSettings &settings = w.station().deviceSettings();
    auto *block = new QGroupBox(QStringLiteral("Calibration"));
    auto *grid = new QGridLayout(block);
    const char *const captions[] = {"a-axis Cal. Factor", "b-axis Cal. Factor",
                                    "c-axis Cal. Factor"};
    for (int k = 0; k < 3; ++k)
        w.addRow(grid, k, {QString::fromLatin1(captions[k]), 68 + k, 168 + k});
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
