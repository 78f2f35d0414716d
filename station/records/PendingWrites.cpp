#include "PendingWrites.h"

#include "RecordsLogging.h"
#include "common/Control.h"
#include "common/TextFiles.h"

#include <QFileInfo>
#include <QSet>
#include <utility>
#include <vector>

PendingWrites::PendingWrites(Control &warning, qint64 capacity, QObject *parent)
    : QObject(parent), warning_(warning), capacity_(capacity)
{
    retryTimer_.setInterval(RetryIntervalMs);
    connect(&retryTimer_, &QTimer::timeout, this, &PendingWrites::retry);
    warning_.setVisible(false);
}

PendingWrites::Outcome PendingWrites::append(const QStringList &paths, const QByteArray &bytes,
                                             const WrittenHandler &written)
{
    Write write{paths, bytes, QString(), written};
    if (waitsFor(paths.value(0))) {
        write.error = QStringLiteral("earlier writes to it are waiting");
        const Outcome outcome{QString(), write.error};
        keep(std::move(write));
        return outcome;
    }
    const Outcome outcome = tryWrite(write);
    if (outcome.writtenTo.isEmpty()) {
        write.error = outcome.error;
        keep(std::move(write));
    } else {
        tellWritten(write, outcome.writtenTo);
    }
    return outcome;
}

void PendingWrites::tellWritten(const Write &write, const QString &path)
{
    if (write.written)
        write.written(path);
}

PendingWrites::Outcome PendingWrites::tryWrite(const Write &write) const
{
    Outcome outcome;
    for (const QString &path : write.paths) {
        QString error;
        if (TextFiles::append(path, write.bytes, &error)) {
            outcome.writtenTo = path;
            return outcome;
        }
        if (outcome.error.isEmpty())
            outcome.error = error;
    }
    return outcome;
}

bool PendingWrites::waitsFor(const QString &path) const
{
    for (const Write &write : queue_) {
        if (write.paths.value(0) == path)
            return true;
    }
    return false;
}

void PendingWrites::retry()
{
    QSet<QString> stillFailing;
    std::vector<std::pair<Write, QString>> done;
    for (auto it = queue_.begin(); it != queue_.end();) {
        const QString first = it->paths.value(0);
        if (!stillFailing.contains(first)) {
            const Outcome outcome = tryWrite(*it);
            if (!outcome.writtenTo.isEmpty()) {
                bytes_ -= it->bytes.size();
                done.emplace_back(std::move(*it), outcome.writtenTo);
                it = queue_.erase(it);
                continue;
            }
            it->error = outcome.error;
        }
        stillFailing.insert(first);
        ++it;
    }
    showState();
    // Told only now: a handler may write, and so add to the queue.
    for (const auto &[write, path] : done)
        tellWritten(write, path);
}

QStringList PendingWrites::waitingFiles() const
{
    QStringList files;
    for (const Write &write : queue_)
        files << write.paths.value(0);
    return files;
}

void PendingWrites::keep(Write write)
{
    qCWarning(lcRecords).noquote()
        << "waiting to be written:" << write.paths.value(0) << "-" << write.error;
    bytes_ += write.bytes.size();
    queue_.push_back(std::move(write));
    dropOldestBeyondCapacity();
    showState();
}

// The newest write always stays; older ones go, oldest first, until the rest fits.
void PendingWrites::dropOldestBeyondCapacity()
{
    while (bytes_ > capacity_ && queue_.size() > 1) {
        const Write oldest = std::move(queue_.front());
        queue_.pop_front();
        bytes_ -= oldest.bytes.size();
        const QString path = oldest.paths.value(0);
        qCWarning(lcRecords).noquote()
            << "queue full, dropped" << oldest.bytes.size() << "bytes for" << path;
        // Reporting a drop writes a log line, which may itself have to wait and push out
        // another write; that one is only told here, so the reports cannot chase each other.
        if (reportingDrop_)
            continue;
        reportingDrop_ = true;
        emit dropped(path, oldest.bytes.size());
        reportingDrop_ = false;
    }
}

void PendingWrites::showState()
{
    if (queue_.empty()) {
        retryTimer_.stop();
        warning_.setVisible(false);
        warning_.setText(QString());
        return;
    }
    if (!retryTimer_.isActive())
        retryTimer_.start();
    const Write &oldest = queue_.front();
    warning_.setText(QStringLiteral("Not written to %1 (%2): %3 waiting, tried again every 10 s")
                         .arg(QFileInfo(oldest.paths.value(0)).path(), oldest.error)
                         .arg(queue_.size()));
    warning_.setVisible(true);
}
