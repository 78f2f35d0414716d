#include "RecordingSettings.h"

void RecordingSettings::setPreAlarmSeconds(double seconds)
{
    if (preAlarmSeconds_ == seconds)
        return;
    preAlarmSeconds_ = seconds;
    emit preAlarmSecondsChanged(seconds);
}

void RecordingSettings::setPostAlarmSeconds(double seconds)
{
    if (postAlarmSeconds_ == seconds)
        return;
    postAlarmSeconds_ = seconds;
    emit postAlarmSecondsChanged(seconds);
}

void RecordingSettings::setRecordFolder(const QString &path)
{
    if (recordFolder_ == path)
        return;
    recordFolder_ = path;
    emit recordFolderChanged(path);
}

void RecordingSettings::setRecordMode(bool on)
{
    if (recordMode_ == on)
        return;
    recordMode_ = on;
    emit recordModeChanged(on);
}
