#include "EventJournal.h"

#include "common/NumberText.h"
#include "common/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unistd.h>

namespace
{

const QByteArray Magic = "#VorsaJournal";

// Lives on the journal's thread: the open journals, written and synced there only. Bytes the
// disk refuses wait and go first with the next append; what a refused write left of them is
// cut off again, so a journal never holds a torn line and catches up whole once the disk takes
// writes again.
class JournalWorker : public QObject
{
public:
    // Empty when the bytes are on the disk, else why not.
    QString write(const QString &path, const QByteArray &bytes)
    {
        Journal &journal = journals_[path];
        journal.waiting += bytes;
        if (!journal.file.isOpen()) {
            journal.file.setFileName(path);
            if (!journal.file.open(QIODevice::WriteOnly | QIODevice::Append))
                return journal.file.errorString();
            journal.whole = journal.file.size();
        }
        const int fd = journal.file.handle();
        for (qint64 done = 0; done < journal.waiting.size();) {
            const ssize_t n = ::write(fd, journal.waiting.constData() + done,
                                      size_t(journal.waiting.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const QString error = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
                // What cannot be cut off stays written, and the rest follows it.
                if (done > 0 && ::ftruncate(fd, journal.whole) != 0) {
                    journal.whole += done;
                    journal.waiting.remove(0, done);
                }
                return error;
            }
            done += n;
        }
        journal.whole += journal.waiting.size();
        journal.waiting.clear();
        if (::fdatasync(fd) != 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    void remove(const QString &path)
    {
        journals_.erase(path);
        QFile::remove(path);
    }

private:
    struct Journal {
        QFile file;
        qint64 whole = 0;   // bytes on disk, up to the end of the last line appended whole
        QByteArray waiting; // appended, not yet on disk
    };
    std::map<QString, Journal> journals_;
};

QString valueOf(const QByteArray &line, const char *key)
{
    return QString::fromUtf8(line.mid(int(qstrlen(key))));
}

} // namespace

EventJournal::EventJournal(QObject *parent) : QObject(parent), worker_(new JournalWorker)
{
    thread_.setObjectName(QStringLiteral("event journal"));
    worker_->moveToThread(&thread_);
    thread_.start();
}

EventJournal::~EventJournal()
{
    drain();
    thread_.quit();
    thread_.wait();
    delete worker_;
}

QString EventJournal::pathFor(const QString &folder, const QString &fileName)
{
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString name = QLatin1Char('.') + fileName +
                             (n == 1 ? QString() : QLatin1Char('.') + QString::number(n)) +
                             QLatin1String(Suffix);
        // Taken here, at once, so that the next event of the same second gets the next name.
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file.fileName();
        if (!file.exists() || n > 99)
            return file.fileName(); // the folder refuses it: the writes will tell why
    }
}

bool EventJournal::isJournalName(const QString &fileName)
{
    return fileName.startsWith(QLatin1Char('.')) && fileName.endsWith(QLatin1String(Suffix));
}

QByteArray EventJournal::header(const QString &stationCode, const QDateTime &start,
                                double preAlarmSeconds, double postAlarmSeconds,
                                const QString &intensity)
{
    const QByteArray end = TextFiles::LineEnd;
    return Magic + end + "#StationCode:" + stationCode.toUtf8() + end +
           "#StartTime:" + start.toString(Qt::ISODateWithMs).toUtf8() + end +
           "#PreAlarm:" + QByteArray::number(preAlarmSeconds) + end +
           "#PostAlarm:" + QByteArray::number(postAlarmSeconds) + end + intensityLine(intensity);
}

QByteArray EventJournal::intensityLine(const QString &intensity)
{
    return "#Intensity:" + intensity.toUtf8() + TextFiles::LineEnd;
}

QByteArray EventJournal::summaryWrittenLine()
{
    return QByteArrayLiteral("#SummaryWritten") + TextFiles::LineEnd;
}

void EventJournal::append(const QString &path, const QByteArray &bytes)
{
    auto *worker = static_cast<JournalWorker *>(worker_);
    QMetaObject::invokeMethod(
        worker_,
        [this, worker, path, bytes] {
            const QString error = worker->write(path, bytes);
            if (!error.isEmpty())
                emit failed(path, error);
        },
        Qt::QueuedConnection);
}

void EventJournal::remove(const QString &path)
{
    auto *worker = static_cast<JournalWorker *>(worker_);
    QMetaObject::invokeMethod(
        worker_, [worker, path] { worker->remove(path); }, Qt::QueuedConnection);
}

void EventJournal::drain()
{
    if (thread_.isRunning())
        QMetaObject::invokeMethod(
            worker_, [] {}, Qt::BlockingQueuedConnection);
}

std::optional<EventJournal::Contents> EventJournal::parse(const QByteArray &bytes, QString *why)
{
    QList<QByteArray> lines = bytes.split('\n');
    // What follows the last line end was cut short by the stop (or is the empty rest).
    lines.removeLast();
    if (lines.isEmpty() || lines.first().trimmed() != Magic) {
        *why = QStringLiteral("no journal header");
        return std::nullopt;
    }
    Contents c;
    bool pre = false;
    bool post = false;
    for (int i = 1; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith("#StationCode:")) {
            c.stationCode = valueOf(line, "#StationCode:");
        } else if (line.startsWith("#StartTime:")) {
            c.start = QDateTime::fromString(valueOf(line, "#StartTime:"), Qt::ISODateWithMs);
        } else if (line.startsWith("#PreAlarm:")) {
            c.preAlarmSeconds = valueOf(line, "#PreAlarm:").toDouble(&pre);
        } else if (line.startsWith("#PostAlarm:")) {
            c.postAlarmSeconds = valueOf(line, "#PostAlarm:").toDouble(&post);
        } else if (line.startsWith("#Intensity:")) {
            c.intensity = valueOf(line, "#Intensity:");
        } else if (line == "#SummaryWritten") {
            c.summaryWritten = true;
        } else {
            const QList<QByteArray> fields = line.split(',');
            std::array<double, 6> v{};
            bool ok = fields.size() == 6;
            for (int k = 0; ok && k < 6; ++k)
                v[std::size_t(k)] = fields[k].trimmed().toDouble(&ok);
            if (!ok) {
                *why = QStringLiteral("line %1 is no data row").arg(i + 1);
                return std::nullopt;
            }
            if (c.rowCount++ == 0)
                c.firstRowSeconds = v[0];
            for (int axis = 0; axis < 3; ++axis) {
                const float value = float(v[std::size_t(axis + 1)]);
                c.max[std::size_t(axis)] = std::max(c.max[std::size_t(axis)], value);
                c.min[std::size_t(axis)] = std::min(c.min[std::size_t(axis)], value);
                c.axisPeak[std::size_t(axis)] =
                    std::max(c.axisPeak[std::size_t(axis)], std::fabs(double(value)));
            }
            c.vectorMax = std::max(c.vectorMax, std::sqrt(v[1] * v[1] + v[2] * v[2] + v[3] * v[3]));
            c.rows += line + TextFiles::LineEnd;
        }
    }
    if (!c.start.isValid() || !pre || !post) {
        *why = QStringLiteral("its header is incomplete");
        return std::nullopt;
    }
    return c;
}
