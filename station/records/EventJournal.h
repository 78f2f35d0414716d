#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>
#include <array>
#include <optional>

// The rows of a pending event file kept on disk while its post-alarm time runs, so that a
// power cut loses at most the last second: a hidden file in the record folder that is appended
// to and synced to the disk on a thread of its own, so that a slow disk never stalls the
// event loop. The station removes it once the event file is written whole, and turns any
// journal it finds at start-up into the event file it would have become.
class EventJournal : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *Suffix = ".journal";

    explicit EventJournal(QObject *parent = nullptr);
    // Waits until everything handed over is on disk.
    ~EventJournal() override;

    // A hidden name in `folder` for the journal of the event file `fileName`, not yet taken
    // by another journal (two events may start in the same second).
    static QString pathFor(const QString &folder, const QString &fileName);
    static bool isJournalName(const QString &fileName);

    // The journal's first lines.
    static QByteArray header(const QString &stationCode, const QDateTime &start,
                             double preAlarmSeconds, double postAlarmSeconds,
                             const QString &intensity);
    static QByteArray intensityLine(const QString &intensity);
    // Marks that the event's summary is in Vorsa.txt, so that a recovery does not add it again.
    static QByteArray summaryWrittenLine();

    // Appends `bytes` to the journal at `path` and syncs it, on the journal's thread.
    void append(const QString &path, const QByteArray &bytes);
    // Closes and removes the journal, after what was appended before.
    void remove(const QString &path);
    // Returns once everything handed over before is done.
    void drain();

    // What a journal holds, read back.
    struct Contents {
        QString stationCode;
        QDateTime start;
        double preAlarmSeconds = 0;
        double postAlarmSeconds = 0;
        QString intensity;
        QByteArray rows; // whole data rows, each with its line end
        int rowCount = 0;
        double firstRowSeconds = 0;
        std::array<float, 3> max{-999, -999, -999};
        std::array<float, 3> min{999, 999, 999};
        double vectorMax = 0;
        std::array<double, 3> axisPeak{}; // largest magnitude per axis
        bool summaryWritten = false;
    };
    // Reads a journal; a last line cut short by the stop is left out. Empty, with `why`,
    // when it is no journal or a line in it is no data row.
    static std::optional<Contents> parse(const QByteArray &bytes, QString *why);

signals:
    // A journal could not be written: the event file is still written whole from memory.
    void failed(const QString &path, const QString &error);

private:
    QThread thread_;
    QObject *worker_ = nullptr;
};
