#pragma once

#include <QDateTime>
#include <QString>

class LiveFields;
class LineReader;
class StripChart;

// Reads one recorded file into the history chart and the history fields: the event file,
// the manual recording and the plain layout. A statement that fails (a text that is no
// number or no date) is skipped and loading goes on; a field whose line the file does not
// carry keeps its value.
class RecordFileLoader
{
public:
    // Rows plotted at most: ten full sample rings, far beyond any file the station writes.
    static constexpr int MaxRows = 240000;

    enum class Layout { None, Event, Manual, Plain };

    // `fields`: the history fields the loaded record's header fills.
    RecordFileLoader(LiveFields &fields, StripChart &chart);

    // Empty when the file was loaded, else a short message for the operator.
    QString load(const QString &path, const QString &fileName);
    // The layout the last load recognised (None: empty, unreadable or unknown).
    Layout layout() const { return layout_; }
    // The time column of an event file's first row: how far after the start of its window the
    // first recorded row lies (more than 0 when the station had not recorded the whole
    // pre-alarm time). 0 for the other layouts.
    double firstRowSeconds() const { return firstRowSeconds_; }
    // The rows plotted by the last load.
    int rowCount() const { return rowCount_; }
    // The length an event file's header gives ("#RecordLength(sec):"); 0 without one.
    double recordLengthSeconds() const { return recordLengthSeconds_; }
    // The station code and start an event file's header gives (a plain file's start); empty
    // and invalid when the file carries none.
    QString stationCode() const { return stationCode_; }
    QDateTime start() const { return start_; }
    // The intensity the record names; a record that names none keeps the one before.
    QString intensity() const { return intensity_; }

private:
    enum class Outcome { Loaded, Empty, UnknownLayout, Cut };

    Outcome read(LineReader &reader, const QString &fileName);
    Outcome readEventFile(LineReader &reader, const QString &firstLine);
    Outcome readManualRows(LineReader &reader, QString line);
    Outcome readPlainFile(LineReader &reader, const QString &header);
    void readAmplitudeLine(LineReader &reader, int field);
    bool readIntensity(LineReader &reader);
    bool setEventDateTime(const QString &text);
    void placeFirstRow(const QString &line);
    void plotEventRow(const QString &line);
    // False for a line that holds no sample ("Max", "Min", no value).
    bool plotManualRow(const QString &line);
    void plotPlainRow(const QString &line);
    void plot(int trace, const QString &text);
    Outcome finish(int extent, Outcome outcome);

    LiveFields &fields_;
    StripChart &chart_;
    Layout layout_ = Layout::None;
    double firstRowSeconds_ = 0;
    int rowCount_ = 0;
    double recordLengthSeconds_ = 0;
    QString stationCode_;
    QDateTime start_;
    QString intensity_;
};
