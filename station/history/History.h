#pragma once

#include "MiniSeedExport.h"
#include "RecordFileLoader.h"

#include <QObject>

class Form;
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
    History(Form &form, StripChart &strip2, Prompter &prompter, Shell &shell,
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

private:
    void applyAccelerationRange();
    void applyPdRange();
    void applyTimeSpan();
    MiniSeedOptions miniSeedOptions() const;
    void exportMiniSeed(const QString &path, const MiniSeedOptions &options);

    Form &form_;
    StripChart &strip2_;
    Prompter &prompter_;
    Shell &shell_;
    const ProgramFolder &folder_;
    RecordFileLoader loader_;
    double preAlarmSeconds_ = 0;
};
