#pragma once

#include "common/Clock.h"
#include "common/Platform.h"
#include "common/StripChart.h"
#include "common/Waiter.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <vector>

// A clock that stands still until a test moves it.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)))
        : now_(start)
    {
    }
    QDateTime now() const override { return now_; }
    void set(const QDateTime &when) { now_ = when; }
    void advanceSeconds(int s) { now_ = now_.addSecs(s); }
    void advanceMs(int ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_;
};

// Records every pause instead of sleeping; waits still let real sockets deliver, but never
// longer than `waitCapMs` of real time.
class FakeWaiter : public Waiter
{
public:
    void pause(int ms) override;
    bool waitWhile(const std::function<bool()> &busy, int timeoutMs, int stepMs) override;

    QList<int> pauses;   // every pause asked for, in ms
    QList<int> timeouts; // the bound of every wait
    int waitCapMs = 3000;
};

class RecordingSound : public SoundPlayer
{
public:
    void play(const QString &path) override { played << path; }
    QStringList played;
};

class RecordingShell : public Shell
{
public:
    bool open(const QString &path) override
    {
        opened << path;
        return viewerFound;
    }
    void showText(const QString &path, const QString &title) override
    {
        shownText << title + QLatin1Char('|') + path;
    }
    QStringList opened;
    QStringList shownText; // "title|path" of every file shown in the station
    bool viewerFound = true;
};

// Answers questions from a script; records what was asked and told.
class ScriptedPrompter : public Prompter
{
public:
    bool askYesNo(const QString &text, const QString &title) override;
    std::optional<QString> askText(const QString &prompt, const QString &title,
                                   const QString &defaultText) override;
    void inform(const QString &text, const QString &title) override;

    QList<bool> yesNoAnswers;                  // consumed front first; No when empty
    QList<std::optional<QString>> textAnswers; // consumed front first; cancel when empty
    QStringList asked;                         // "title|text" of every question
    QStringList told;                          // "title|text" of every message
    QStringList defaults;                      // default texts offered by text questions
    Prompter *dialogs = nullptr; // when set, yes/no questions are answered there (real dialogs)
};

// Keeps every operation as text ("select 1", "range 250 -250", "width 1000", "clear" ...)
// and the samples of each trace.
class RecordingChart : public StripChart
{
public:
    explicit RecordingChart(int traces = 5) : samples(traces) {}

    void selectTrace(int trace) override;
    void setRange(double upper, double lower) override;
    void setVisibleWidth(double width) override;
    void addSample(int trace, double value) override;
    void addBlock(int trace, const Block &values) override;
    void clear() override;
    void setSampleExtent(int extent) override;
    void setViewPosition(int sample) override;
    void markCurrentSample() override;
    void breakTraces() override;
    void skipSamples(int count) override;
    void fitRangeToData() override;
    void startTracesAt(int sample) override;

    QStringList operations;
    std::vector<std::vector<double>> samples;
    int blocks = 0;
    int marks = 0;
    bool recordSamples = true; // false keeps `operations` free of per-sample entries
};
