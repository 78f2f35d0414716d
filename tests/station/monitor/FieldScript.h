#pragma once

#include "common/LiveFields.h"

#include <QStringList>

// Writes live fields from a compact script such as "97=1.0 59=0 11=1", in order, as a
// decoder does; "10=" writes an empty text.
inline void writeFields(LiveFields &fields, const QString &script)
{
    for (const QString &assignment : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = int(assignment.indexOf(QLatin1Char('=')));
        fields.setText(assignment.left(eq).toInt(), assignment.mid(eq + 1));
    }
}

// The log lines a list of messages gives at the fixture's standing clock, station code unread.
inline QStringList expectedLog(const QString &now, const QStringList &messages)
{
    QStringList lines;
    for (const QString &message : messages)
        lines << now + QLatin1Char(' ') + message + QStringLiteral("_88888");
    return lines;
}
