#pragma once

#include "common/DecodedPacket.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <array>

class Clock;
class Control;
class ProgramFolder;

// Recording the live three-axis acceleration on demand, in files of at most 30000 rows that
// are written in the program folder and moved into RecCSV when they are complete.
class ManualRecording : public QObject
{
    Q_OBJECT
public:
    static constexpr int RowsPerFile = 30000;

    // `indicator`: the recording caption it shares with the event recording.
    ManualRecording(Control &statusLine, Control &indicator, const ProgramFolder &folder,
                    const Clock &clock, QObject *parent = nullptr);

    bool isRecording() const { return manualRecording_; }
    // Start when idle, stop when recording.
    void toggleRecording();
    // Leaving the station: a running recording is stopped and moved like any other.
    void finish();

    // Every sample of a packet that feeds the recording, in order.
    void takePacket(const DecodedPacket &packet);

signals:
    void recordingChanged(bool recording);

public slots:
    // One decoded sample; ignored when no recording runs.
    void appendSample(float a, float b, float c);

private:
    void start();
    void refuseStart(const QString &error);
    void stop();
    QString uniqueName() const;
    void writeText(const QString &text);
    void writeSummary();
    // False when the file stays where it was written.
    bool moveIntoRecCsv();
    void tell(const QString &message);

    Control &statusLine_;
    Control &indicator_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    QFile file_;
    QString manualTempPath_;
    QString manualFinalPath_;
    std::array<float, 3> manualMax_{};
    std::array<float, 3> manualMin_{};
    int manualRowCount_ = 0;
    bool manualRecording_ = false;
    bool manualRestart_ = false;
    bool writeFailed_ = false;
};
