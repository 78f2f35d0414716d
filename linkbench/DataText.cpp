#include "DataText.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace
{

const QString crLf = QStringLiteral("\r\n");

std::optional<char> hexByte(const QString &token)
{
    if (token.isEmpty())
        return char(0);
    static const QRegularExpression oneOrTwoHexDigits(QStringLiteral("^[0-9A-Fa-f]{1,2}$"));
    if (!oneOrTwoHexDigits.match(token).hasMatch())
        return std::nullopt;
    return char(token.toUInt(nullptr, 16));
}

QString foldBlanks(const QString &text)
{
    static const QRegularExpression lineBreaksAndTabs(QStringLiteral("[\\r\\n\\t]"));
    static const QRegularExpression blankRuns(QStringLiteral(" {2,}"));
    QString folded = text;
    folded.replace(lineBreaksAndTabs, QStringLiteral(" "));
    folded.replace(blankRuns, QStringLiteral(" "));
    return folded;
}

} // namespace

HexEntry parseHexEntry(const QString &text)
{
    HexEntry entry;
    if (text.isEmpty())
        return entry;
    for (const QString &token : foldBlanks(text).split(QLatin1Char(' '))) {
        const std::optional<char> byte = hexByte(token);
        if (!byte) {
            entry = {QByteArray(), token, false};
            return entry;
        }
        entry.bytes.append(*byte);
    }
    return entry;
}

QString hexDisplay(const QByteArray &bytes)
{
    QString shown;
    shown.reserve(bytes.size() * 3 + (bytes.size() / 20 + 1) * 2);
    for (int i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            shown += QLatin1Char(' ');
        if (i % 20 == 0)
            shown += crLf;
        shown += QStringLiteral("%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return shown;
}

QString prependToLog(const QString &log, const QString &block)
{
    QString updated = log.isEmpty() ? block : block + crLf + log;
    if (updated.size() <= logCapacity)
        return updated;
    const qsizetype lastBreak = updated.lastIndexOf(crLf, logCapacity - crLf.size());
    updated.truncate(lastBreak > 0 ? lastBreak : logCapacity);
    while (updated.endsWith(crLf))
        updated.chop(crLf.size());
    return updated;
}

std::optional<int> roundedNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(std::nearbyint(value));
}
