#include "DevicePageControls.h"

QList<Control *> DeviceWriteButtons::lockedInRecordMode()
{
    return {&loadDefaults,      &writeGeneral,    &writeSystem,     &stageCalibration,
            &stageNtpServer,    &stageServers,    &stageOwnAddress, &commitOwnAddress,
            &commitCalibration, &commitNtpServer, &commitServers};
}

DevicePageControls::DevicePageControls()
{
    for (Control *box : {&pgaWarningBox, &pgaWatchBox})
        box->setText(QStringLiteral("Combo1"));
    adjustClockButton.setText(QStringLiteral("adjustment"));
    adjustClockButton.setEnabled(false);
    lowPassFilter[0].setChecked(true);
    // Engineering controls appear only in Engineer mode, when the link opens.
    for (Control *c : {&buttons.saveAsDefaults, &calibrationBlock, &options.modbusTcpClient})
        c->setVisible(false);
    // What only a firmware version unlocks.
    for (Control *c : {&options.mmiScale, &options.kmaScale, &options.displayLink,
                       &buttons.stageDisplay, &buttons.commitDisplay})
        c->setEnabled(false);
}
