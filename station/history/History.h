#pragma once

#include "MiniSeedExport.h"
#include "RecordFileLoader.h"

#include "common/Control.h"

#include <QObject>

class LiveFields;
class RecordFolder;
class ProgramFolder;
class Prompter;
class Shell;
class StripChart;

// The history viewer: loads the selected record file into `Strip2` and the history fields,
// its range combos, deleting a file and opening the event summary file.
class History : public QObject
{
    Q_OBJECT
public:
    // What the page shows for a fact of a record before one is loaded.
    static constexpr char16_t NotLoaded[] = u"\u2014";

    // `fields`: the history fields a loaded record fills; `records`: the file list the page
    // selects from; `windowTitle`: the title its questions carry.
    History(LiveFields &fields, RecordFolder &records, Control &statusLine,
            const Control &windowTitle, StripChart &strip2, Prompter &prompter, Shell &shell,
            const ProgramFolder &folder, QObject *parent = nullptr);

    // The seconds an event file holds before its trigger row, for the miniSEED start time.
    void setPreAlarmSeconds(double seconds) { preAlarmSeconds_ = seconds; }

    void loadSelectedFile();
    // Asks first; then the list is read again and its last file selected.
    void deleteSelectedFile();
    void openSummaryFile();
    // The selected record file to miniSEED beside it.
    void exportSelectedFile();
    // A new event file has been written: exported as well when vorsa.ini asks for it.
    void eventFileWritten(const QString &path);
    // Start-up: vorsa.ini gets the export keys it lacks, so the operator finds them.
    void addMiniSeedKeys();

    // The loaded record's length as the page shows it ("120.00 s"), with "cut short" when it
    // holds less than its header says; "—" before a record is loaded.
    QString recordLength() const { return recordLength_; }
    // What an exported picture of the chart says of itself: file, station code, time span.
    QString exportCaption() const { return exportCaption_; }
    // The intensity the loaded record names; "—" before one is loaded.
    Control &loadedIntensity() { return loadedIntensity_; }

    // The chart's range and span boxes as the operator types or picks them: a text that is
    // not yet a positive number (empty, a lone "-" or "." while typing) leaves the chart as
    // it is.
    Control &accelerationBox() { return accelerationBox_; }
    Control &pdBox() { return pdBox_; }
    Control &spanBox() { return spanBox_; }

signals:
    void recordLengthChanged(const QString &text);

private:
    void applyAccelerationRange();
    void applyPdRange();
    void applyTimeSpan();
    void describeLoadedRecord(const QString &fileName);
    MiniSeedOptions miniSeedOptions() const;
    void exportMiniSeed(const QString &path, const MiniSeedOptions &options);

    RecordFolder &records_;
    Control &statusLine_;
    const Control &windowTitle_;
    StripChart &strip2_;
    Prompter &prompter_;
    Shell &shell_;
    const ProgramFolder &folder_;
    RecordFileLoader loader_;
    double preAlarmSeconds_ = 0;
    QString recordLength_;
    QString exportCaption_;
    Control loadedIntensity_;
    Control accelerationBox_;
    Control pdBox_;
    Control spanBox_;
};
