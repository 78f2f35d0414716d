#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The text forms of the data the tool sends and shows.

// Bytes typed in hexadecimal: "F0 FF" -> F0 FF. When a token is not a byte, nothing may be
// sent and badToken names the first such token.
struct HexEntry {
    QByteArray bytes;
    QString badToken;
    bool valid = true;
};

// Blanks separate the bytes; runs of blanks count as one and an empty token (from a leading
// or trailing blank) is the byte 0. Line breaks and tabs count as blanks, since the send
// boxes are multi-line. An empty text holds no bytes.
HexEntry parseHexEntry(const QString &text);

// A received block in hexadecimal: upper case, two digits a byte, a blank between bytes and
// CR LF before bytes 0, 20, 40 ..., so the block starts on a line of its own.
QString hexDisplay(const QByteArray &bytes);

// The log boxes show the newest block on top. The text is kept to logCapacity characters,
// dropping the oldest whole lines, so that a long periodic exchange neither eats memory nor
// slows every update down.
constexpr int logCapacity = 65536;
QString prependToLog(const QString &log, const QString &block);

// The number in a port or period box, rounded half to even; nothing when the box does not
// hold a number.
std::optional<int> roundedNumber(const QString &text);
