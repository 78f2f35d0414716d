#include "RecordFileLoader.h"

#include "LineReader.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/StripChart.h"

#include <QFile>
#include <cmath>

namespace
{

constexpr int EventExtent = 12000;
constexpr int OtherExtent = 30000;
constexpr int AmplitudeLabelLength = 17; // "#AmplitudeMAX. a:"

bool number(const QString &text, double *value)
{
    return NumberText::parseNumber(text, value);
}

// The text after the first ":", or the whole line when it has none.
QString afterColon(const QString &line)
{
    return line.mid(line.indexOf(QLatin1Char(':')) + 1);
}

bool isEventFile(const QString &firstLine, const QString &fileName)
{
    return firstLine.startsWith(QLatin1Char('#')) && !fileName.startsWith(QLatin1Char('M'));
}

bool isManualHeader(const QString &line)
{
    return line == QLatin1String("Time,a,b,c");
}

} // namespace

RecordFileLoader::RecordFileLoader(LiveFields &fields, StripChart &chart)
    : fields_(fields), chart_(chart)
{
}

QString RecordFileLoader::load(const QString &path, const QString &fileName)
{
    layout_ = Layout::None;
    firstRowSeconds_ = 0;
    rowCount_ = 0;
    recordLengthSeconds_ = 0;
    stationCode_.clear();
    start_ = QDateTime();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open %1: %2").arg(fileName, file.errorString());
    LineReader reader(file);
    switch (read(reader, fileName)) {
    case Outcome::UnknownLayout:
        return QStringLiteral("%1 is not a record file").arg(fileName);
    case Outcome::Cut:
        return QStringLiteral("%1: only the first %2 rows are shown").arg(fileName).arg(MaxRows);
    case Outcome::Loaded:
    case Outcome::Empty:
        break;
    }
    return {};
}

RecordFileLoader::Outcome RecordFileLoader::read(LineReader &reader, const QString &fileName)
{
    QString line;
    if (!reader.next(&line)) {
        chart_.clear();
        return Outcome::Empty;
    }
    if (isEventFile(line, fileName)) {
        layout_ = Layout::Event;
        return readEventFile(reader, line);
    }
    // A manual recording stopped before its first sample has its "Max" line second, or
    // nothing at all when the station stopped before writing it.
    const bool manualHeader = isManualHeader(line);
    if (!line.startsWith(QLatin1Char('0')) && !reader.next(&line) && !manualHeader)
        return Outcome::UnknownLayout;
    if (line.startsWith(QLatin1Char('0')) || manualHeader) {
        layout_ = Layout::Manual;
        return readManualRows(reader, line);
    }
    layout_ = Layout::Plain;
    return readPlainFile(reader, line);
}

RecordFileLoader::Outcome RecordFileLoader::readEventFile(LineReader &reader,
                                                          const QString &firstLine)
{
    if (firstLine.contains(QLatin1Char(':'))) {
        stationCode_ = afterColon(firstLine);
        fields_.setText(Field::HistoryStationCode, stationCode_);
    }
    QString line;
    reader.next(&line);
    if (reader.next(&line)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const qsizetype dot = line.indexOf(QLatin1Char('.'));
        // Fractional seconds are dropped.
        if (colon >= 0 && (dot < 0 || dot > colon))
            setEventDateTime(line.mid(colon + 1, dot < 0 ? -1 : dot - colon - 1));
    }
    chart_.clear();
    if (reader.next(&line) && line.startsWith(QLatin1String("#RecordLength")) &&
        !number(afterColon(line).trimmed(), &recordLengthSeconds_))
        recordLengthSeconds_ = 0;
    for (int skipped = 0; skipped < 2; ++skipped)
        reader.next(&line);
    for (int axis = 0; axis < 3; ++axis)
        readAmplitudeLine(reader, Field::FirstHistoryPeak + axis);
    if (!readIntensity(reader))
        return finish(EventExtent, Outcome::Loaded);
    int rows = 0;
    while (reader.next(&line)) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (++rows > MaxRows)
            return finish(EventExtent, Outcome::Cut);
        if (rows == 1)
            placeFirstRow(line);
        plotEventRow(line);
        rowCount_ = rows;
    }
    return finish(EventExtent, Outcome::Loaded);
}

// A file whose first rows are missing starts at its first row's time, not at the left edge.
void RecordFileLoader::placeFirstRow(const QString &line)
{
    if (!number(line.left(line.indexOf(QLatin1Char(','))), &firstRowSeconds_) ||
        firstRowSeconds_ < 0)
        firstRowSeconds_ = 0;
    if (firstRowSeconds_ > 0)
        chart_.startTracesAt(int(std::lround(firstRowSeconds_ * 100)));
}

void RecordFileLoader::readAmplitudeLine(LineReader &reader, int field)
{
    QString line;
    if (!reader.next(&line))
        return;
    const qsizetype tilde = line.indexOf(QLatin1Char('~'));
    double max = 0;
    double min = 0;
    if (tilde < AmplitudeLabelLength ||
        !number(line.mid(AmplitudeLabelLength, tilde - AmplitudeLabelLength), &max) ||
        !number(line.mid(tilde + 1), &min))
        return;
    // The larger magnitude wins; a tie goes to the minimum.
    const double peak = std::fabs(max) > std::fabs(min) ? max : min;
    fields_.setText(field, NumberText::fixed(peak, 2));
}

bool RecordFileLoader::readIntensity(LineReader &reader)
{
    QString line;
    while (reader.next(&line)) {
        if (!line.contains(QLatin1String("Intensity")))
            continue;
        intensity_ = NumberText::doubleText(NumberText::leadingNumber(afterColon(line)));
        return true;
    }
    return false;
}

bool RecordFileLoader::setEventDateTime(const QString &text)
{
    const QDateTime when = NumberText::parseGeneralDateTime(text);
    if (!when.isValid())
        return false;
    start_ = when;
    fields_.setText(Field::HistoryEventDate, when.toString(QStringLiteral("yyyy/MM/dd")));
    fields_.setText(Field::HistoryEventTime, when.toString(QStringLiteral("HH:mm:ss")));
    return true;
}

// Row fields are 10 characters wide: the value of trace k follows the (k + 1)-th comma.
void RecordFileLoader::plotEventRow(const QString &line)
{
    qsizetype comma = -1;
    for (int trace = 0; trace < 5; ++trace) {
        comma = line.indexOf(QLatin1Char(','), comma + 1);
        if (comma < 0)
            return;
        plot(trace, line.mid(comma + 1, 10));
    }
}

RecordFileLoader::Outcome RecordFileLoader::readManualRows(LineReader &reader, QString line)
{
    chart_.clear();
    int rows = 0;
    // The line read when the end of the file is reached is not plotted: it is the "Min" line.
    while (!reader.atEnd()) {
        if (++rows > MaxRows)
            return finish(OtherExtent, Outcome::Cut);
        if (plotManualRow(line))
            ++rowCount_;
        reader.next(&line);
    }
    return finish(OtherExtent, Outcome::Loaded);
}

// a lies between the first and second comma, b between the second and third, c after it.
bool RecordFileLoader::plotManualRow(const QString &line)
{
    const qsizetype first = line.indexOf(QLatin1Char(','));
    const QStringView label = QStringView(line).left(first < 0 ? line.size() : first);
    if (label == u"Max" || label == u"Min" || first < 0)
        return false;
    const qsizetype second = line.indexOf(QLatin1Char(','), first + 1);
    if (second < 0)
        return false;
    plot(0, line.mid(first + 1, second - first - 1));
    const qsizetype third = line.indexOf(QLatin1Char(','), second + 1);
    if (third < 0)
        return true;
    plot(1, line.mid(second + 1, third - second - 1));
    plot(2, line.mid(third + 1));
    return true;
}

RecordFileLoader::Outcome RecordFileLoader::readPlainFile(LineReader &reader, const QString &header)
{
    const qsizetype p = header.indexOf(QLatin1Char(','));
    const qsizetype q = p < 0 ? -1 : header.indexOf(QLatin1Char(','), p + 1);
    const QString dateText = q >= 0 ? header.mid(p + 1, q - p - 1) : header.left(p);
    // A header without a date is no plain file: nothing is loaded and nothing changes.
    if (p < 0 || !setEventDateTime(dateText)) {
        layout_ = Layout::None;
        return Outcome::UnknownLayout;
    }
    if (q >= 0) {
        const qsizetype r = header.indexOf(QLatin1Char(','), q + 1);
        intensity_ = r >= 0 ? header.mid(r + 1) : header;
    } else {
        intensity_ = header.mid(p + 1);
    }
    chart_.clear();
    QString line;
    reader.next(&line);
    int rows = 0;
    while (reader.next(&line)) {
        if (++rows > MaxRows)
            return finish(OtherExtent, Outcome::Cut);
        plotPlainRow(line);
        rowCount_ = rows;
    }
    return finish(OtherExtent, Outcome::Loaded);
}

void RecordFileLoader::plotPlainRow(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char(','));
    plot(0, fields[0]);
    if (fields.size() > 1)
        plot(1, fields[1]);
    if (fields.size() > 3)
        plot(2, fields[2]);
}

void RecordFileLoader::plot(int trace, const QString &text)
{
    double value = 0;
    if (number(text, &value))
        chart_.addSample(trace, value);
}

RecordFileLoader::Outcome RecordFileLoader::finish(int extent, Outcome outcome)
{
    chart_.setSampleExtent(extent);
    chart_.setViewPosition(0);
    return outcome;
}
