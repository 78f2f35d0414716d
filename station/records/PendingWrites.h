#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class Control;

// Appends that cannot be written now wait here in memory and are tried again, oldest first,
// every ten seconds and when asked (at exit). While anything waits, `warning` stands visible
// naming the folder and the reason. The queue holds at most `capacity` bytes: only when a new
// write would exceed it is the oldest dropped, and `dropped` tells which file lost it.
class PendingWrites : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryIntervalMs = 10000;

    // Where an append went: the path written, or empty while it waits; and why the first
    // path refused it (empty when it took it).
    struct Outcome {
        QString writtenTo;
        QString error;
    };

    PendingWrites(Control &warning, qint64 capacity, QObject *parent = nullptr);

    using WrittenHandler = std::function<void(const QString &path)>;

    // Appends `bytes` whole to the first of `paths` that takes them. When none does, or when
    // earlier bytes for the first path still wait, they wait behind them. `written` is told
    // the path once they are on disk, now or later.
    Outcome append(const QStringList &paths, const QByteArray &bytes,
                   const WrittenHandler &written = {});
    // Tries every waiting write again in order; bytes for a file whose earlier write still
    // fails keep waiting behind it.
    void retry();

    bool isEmpty() const { return queue_.empty(); }
    int waitingCount() const { return int(queue_.size()); }
    qint64 waitingBytes() const { return bytes_; }
    // The first path of every waiting write, oldest first.
    QStringList waitingFiles() const;
    QTimer &retryTimer() { return retryTimer_; }

signals:
    void dropped(const QString &path, qint64 bytes);

private:
    struct Write {
        QStringList paths;
        QByteArray bytes;
        QString error;
        WrittenHandler written;
    };

    Outcome tryWrite(const Write &write) const;
    static void tellWritten(const Write &write, const QString &path);
    bool waitsFor(const QString &path) const;
    void keep(Write write);
    void dropOldestBeyondCapacity();
    void showState();

    Control &warning_;
    const qint64 capacity_;
    qint64 bytes_ = 0;
    std::deque<Write> queue_;
    QTimer retryTimer_;
    bool reportingDrop_ = false;
};
