#pragma once

#include <QDateTime>
#include <QString>

// The one place where the station turns numbers into text and text into numbers, so that
// every field, file and log line uses the same forms whatever the PC's regional settings.
namespace NumberText
{

// Leading-number value: blanks, sign, digits, point, digits, exponent; anything else ends it.
// A text without a leading number is 0.
double leadingNumber(const QString &text);

// Strict conversion of the whole text (surrounding blanks allowed); false when it is no number.
bool parseNumber(const QString &text, double *value);

// Strict integer conversion of the whole text; false when it is no integer.
bool parseInteger(const QString &text, qint64 *value);

// Rounds half to even (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double value);

// Rounds half to even into 32 bits; false when the result does not fit.
bool toInt32(double value, qint32 *result);

// Fixed patterns "0", "0.0", "0.00" ...: the decimal form rounded half away from zero at
// the last kept digit; a value that rounds to zero never carries a sign.
QString fixed(double value, int decimals);

// Default text of a single (7 significant digits) and of a double (15): no trailing zeros,
// no trailing point, plain decimals for 0.0001 <= |v| < 1e7 (1e15 for doubles), else "1.5E+07".
QString singleText(float value);
QString doubleText(double value);

// Blanks in front so that the text is `width` long; a longer text is returned whole.
QString rightAligned(const QString &text, int width);

// Register value range: -32768..65535 travels as one 16-bit word (negatives + 65536).
bool fitsWord(qint64 value);
// Register numbers travel as two bytes.
bool fitsRegister(qint64 reg);

// The station's general date-and-time form, used in logs, event headers and history parsing.
QString generalDateTime(const QDateTime &when);
QDateTime parseGeneralDateTime(const QString &text);

} // namespace NumberText
