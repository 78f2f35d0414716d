#include "ManualRecording.h"

#include "RecordsLogging.h"
#include "common/Clock.h"
#include "common/Control.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "common/TextFiles.h"

#include <QDir>

namespace
{

QString extremesLine(const char *label, const std::array<float, 3> &values)
{
    QString line = QLatin1String(label);
    for (float v : values)
        line += QStringLiteral(", ") + NumberText::fixed(v, 4);
    return line;
}

} // namespace

ManualRecording::ManualRecording(Control &statusLine, Control &indicator,
                                 const ProgramFolder &folder, const Clock &clock, QObject *parent)
    : QObject(parent), statusLine_(statusLine), indicator_(indicator), folder_(folder),
      clock_(clock)
{
}

void ManualRecording::toggleRecording()
{
    manualRecording_ = !manualRecording_;
    if (manualRecording_) {
        start();
        return;
    }
    stop();
    if (manualRestart_) {
        toggleRecording();
        manualRestart_ = false;
    }
}

void ManualRecording::finish()
{
    if (manualRecording_)
        toggleRecording();
}

void ManualRecording::takePacket(const DecodedPacket &packet)
{
    if (!packet.feedsManualRecording())
        return;
    for (const DecodedPacket::Sample &sample : packet.samples)
        appendSample(float(sample.a), float(sample.b), float(sample.c));
}

void ManualRecording::appendSample(float a, float b, float c)
{
    if (!manualRecording_)
        return;
    // A full file is cut here; the sample that found it full opens the next file, so that
    // no sample falls between the two.
    if (manualRowCount_ >= RowsPerFile) {
        manualRestart_ = true;
        toggleRecording();
        if (!manualRecording_)
            return;
    }
    const std::array<float, 3> values{a, b, c};
    writeText(NumberText::doubleText(manualRowCount_ * 0.01) + QLatin1Char(',') +
              NumberText::singleText(a) + QLatin1Char(',') + NumberText::singleText(b) +
              QLatin1Char(',') + NumberText::singleText(c));
    for (int k = 0; k < 3; ++k) {
        if (values[k] > manualMax_[k])
            manualMax_[k] = values[k];
        if (values[k] < manualMin_[k])
            manualMin_[k] = values[k];
    }
    ++manualRowCount_;
}

void ManualRecording::start()
{
    manualMax_.fill(-999);
    manualMin_.fill(999);
    const QString name = uniqueName();
    manualTempPath_ = folder_.file(name);
    manualFinalPath_ = QDir(folder_.file(QStringLiteral("RecCSV"))).filePath(name);
    file_.setFileName(manualTempPath_);
    writeFailed_ = false;
    // Unbuffered: every row is in the file as soon as it is written, whatever happens next.
    QString error;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        !TextFiles::appendToOpen(file_, QByteArrayLiteral("Time,a,b,c\r\n"), &error)) {
        refuseStart(error.isEmpty() ? file_.errorString() : error);
        return;
    }
    indicator_.setText(QStringLiteral("Vorsa Recording-M"));
    indicator_.setVisible(true);
    manualRowCount_ = 0;
    emit recordingChanged(true);
}

// A file that did not take even its header is removed, so no empty recording is left.
void ManualRecording::refuseStart(const QString &error)
{
    manualRecording_ = false;
    if (file_.isOpen()) {
        file_.close();
        file_.remove();
    }
    tell(QStringLiteral("Cannot start the manual recording %1: %2").arg(manualTempPath_, error));
}

void ManualRecording::stop()
{
    writeSummary();
    file_.close();
    if (moveIntoRecCsv())
        statusLine_.setText(QStringLiteral("Manual recording saved as %1")
                                .arg(QDir::toNativeSeparators(manualFinalPath_)));
    indicator_.setText(QStringLiteral("Vorsa Recording"));
    indicator_.setVisible(false);
    emit recordingChanged(false);
}

// "M" and the start time; a second recording in the same second gets "_2", "_3" ... so that
// it never replaces the first one.
QString ManualRecording::uniqueName() const
{
    const QString base = QLatin1Char('M') + clock_.now().toString(QStringLiteral("MMddHHmmss"));
    const QDir recCsv(folder_.file(QStringLiteral("RecCSV")));
    QString name = base + QStringLiteral(".csv");
    for (int n = 2; QFile::exists(folder_.file(name)) || recCsv.exists(name); ++n)
        name = base + QStringLiteral("_%1.csv").arg(n);
    return name;
}

// A row lands whole or not at all; the times of the rows after a lost one show the gap.
void ManualRecording::writeText(const QString &text)
{
    QString error;
    if (TextFiles::appendToOpen(file_, text.toUtf8() + TextFiles::LineEnd, &error) || writeFailed_)
        return;
    writeFailed_ = true;
    tell(QStringLiteral("Cannot write the manual recording %1: %2").arg(manualTempPath_, error));
}

void ManualRecording::writeSummary()
{
    writeText(extremesLine("Max", manualMax_));
    writeText(extremesLine("Min", manualMin_));
}

bool ManualRecording::moveIntoRecCsv()
{
    QFile done(manualTempPath_);
    if (done.rename(manualFinalPath_))
        return true;
    tell(QStringLiteral("Manual recording kept in %1, not moved to %2: %3")
             .arg(manualTempPath_, manualFinalPath_, done.errorString()));
    return false;
}

void ManualRecording::tell(const QString &message)
{
    qCWarning(lcRecords).noquote() << message;
    statusLine_.setText(message);
}
