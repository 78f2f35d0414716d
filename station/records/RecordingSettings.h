#pragma once

#include <QObject>
#include <QString>

// What the operator chose for recording: the seconds kept before and after the trigger row of an
// event file, the folder event files go to, and Record mode (the device streams its samples).
class RecordingSettings : public QObject
{
    Q_OBJECT
public:
    static constexpr double DefaultPreAlarmSeconds = 30;
    static constexpr double DefaultPostAlarmSeconds = 90;

    using QObject::QObject;

    double preAlarmSeconds() const { return preAlarmSeconds_; }
    double postAlarmSeconds() const { return postAlarmSeconds_; }
    QString recordFolder() const { return recordFolder_; }
    bool recordMode() const { return recordMode_; }

    void setPreAlarmSeconds(double seconds);
    void setPostAlarmSeconds(double seconds);
    void setRecordFolder(const QString &path);
    void setRecordMode(bool on);

signals:
    void preAlarmSecondsChanged(double seconds);
    void postAlarmSecondsChanged(double seconds);
    void recordFolderChanged(const QString &path);
    void recordModeChanged(bool on);

private:
    double preAlarmSeconds_ = DefaultPreAlarmSeconds;
    double postAlarmSeconds_ = DefaultPostAlarmSeconds;
    QString recordFolder_;
    bool recordMode_ = false;
};
