#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace NumberText
{

namespace
{

const char *const DateTimePattern = "yyyy/MM/dd HH:mm:ss";

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Length of the number at the start of `s` (after `pos`), 0 when there is none.
int scanNumber(const QString &s, int pos)
{
    int i = pos;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            ++j;
        int expDigits = 0;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            i = j;
    }
    return i - pos;
}

struct Decimal {
    std::string digits; // significant digits, no leading zero unless the value is 0
    int pointPos = 0;   // number of digits before the decimal point (may be <= 0 or > size)
    bool negative = false;
};

// `significant` digits of |value|, correctly rounded.
Decimal decimalOf(double value, int significant)
{
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                                 std::chars_format::scientific, significant - 1);
    const char *e = std::find(buf, r.ptr, 'e');
    Decimal d;
    d.negative = std::signbit(value);
    for (const char *p = buf; p < e; ++p)
        if (*p != '.')
            d.digits += *p;
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
    d.pointPos = exponent + 1;
    return d;
}

bool allZero(const std::string &digits)
{
    return digits.find_first_not_of('0') == std::string::npos;
}

// Rounds the digit string half away from zero so that `keep` digits remain; may carry into a
// new leading digit, which moves the point.
void roundDigits(Decimal &d, int keep)
{
    if (keep >= int(d.digits.size()))
        return;
    const bool up = keep >= 0 && d.digits[keep] >= '5';
    d.digits.resize(std::max(keep, 0));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9')
            d.digits[i--] = '0';
        if (i >= 0) {
            ++d.digits[i];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.pointPos;
        }
    }
    if (d.digits.empty()) {
        d.digits = "0";
        d.pointPos = 1;
    }
}

QString plainText(const Decimal &d, int decimals)
{
    std::string text;
    if (d.negative && !allZero(d.digits))
        text += '-';
    const auto digitAt = [&d](int i) {
        return i >= 0 && i < int(d.digits.size()) ? d.digits[i] : '0';
    };
    for (int i = 0; i < d.pointPos; ++i)
        text += digitAt(i);
    if (d.pointPos <= 0)
        text += '0';
    if (decimals > 0) {
        text += '.';
        for (int i = 0; i < decimals; ++i)
            text += digitAt(d.pointPos + i);
    }
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString defaultText(double value, int significant, int plainExponentLimit)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    if (value == 0)
        return QStringLiteral("0");
    Decimal d = decimalOf(value, significant);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    const int exponent = d.pointPos - 1;
    if (exponent >= -4 && exponent < plainExponentLimit) {
        const int decimals = qMax(0, int(d.digits.size()) - d.pointPos);
        return plainText(d, decimals);
    }
    QString mantissa(QLatin1Char(d.digits[0]));
    if (d.digits.size() > 1)
        mantissa += QLatin1Char('.') + QString::fromLatin1(d.digits.substr(1));
    const QString exp = QString::number(std::abs(exponent)).rightJustified(2, QLatin1Char('0'));
    return (d.negative ? QStringLiteral("-") : QString()) + mantissa + QLatin1Char('E') +
           (exponent < 0 ? QLatin1Char('-') : QLatin1Char('+')) + exp;
}

// The scanned number as a double, without building a string: every field write reads one.
double toDouble(const QString &text, int pos, int len)
{
    char buf[64];
    if (len >= int(sizeof buf))
        return qBound(-1.0e300, text.mid(pos, len).toDouble(), 1.0e300);
    const int start = text[pos] == QLatin1Char('+') ? 1 : 0; // from_chars takes no plus sign
    for (int i = start; i < len; ++i)
        buf[i - start] = char(text[pos + i].unicode());
    double v = 0;
    const std::from_chars_result r = std::from_chars(buf, buf + len - start, v);
    return r.ec == std::errc() && std::isfinite(v) ? v : 0;
}

} // namespace

double leadingNumber(const QString &text)
{
    int pos = 0;
    while (pos < text.size() && (text[pos] == QLatin1Char(' ') || text[pos] == QLatin1Char('\t')))
        ++pos;
    const int len = scanNumber(text, pos);
    if (len == 0)
        return 0;
    return toDouble(text, pos, len);
}

bool parseNumber(const QString &text, double *value)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || scanNumber(t, 0) != t.size())
        return false;
    const double v = t.toDouble();
    if (!std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool parseInteger(const QString &text, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (ok)
        *value = v;
    return ok;
}

qint64 roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<qint64>(std::nearbyint(qBound(-9.0e18, value, 9.0e18)));
}

bool toInt32(double value, qint32 *result)
{
    if (!std::isfinite(value))
        return false;
    const double r = std::nearbyint(value);
    if (r < -2147483648.0 || r > 2147483647.0)
        return false;
    *result = static_cast<qint32>(r);
    return true;
}

QString fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return defaultText(value, 15, 15);
    if (value == 0) {
        Decimal zero;
        zero.digits = "0";
        zero.pointPos = 1;
        return plainText(zero, decimals);
    }
    // Round the 15-digit decimal form, not the binary neighbour: 2.345 gives 2.35.
    Decimal d = decimalOf(value, 15);
    roundDigits(d, d.pointPos + decimals);
    return plainText(d, decimals);
}

QString singleText(float value)
{
    return defaultText(double(value), 7, 7);
}

QString doubleText(double value)
{
    return defaultText(value, 15, 15);
}

QString rightAligned(const QString &text, int width)
{
    return text.size() >= width ? text : QString(width - text.size(), QLatin1Char(' ')) + text;
}

bool fitsWord(qint64 value)
{
    return value >= -32768 && value <= 65535;
}

bool fitsRegister(qint64 reg)
{
    return reg >= 0 && reg <= 65535;
}

QString generalDateTime(const QDateTime &when)
{
    return when.toString(QLatin1String(DateTimePattern));
}

QDateTime parseGeneralDateTime(const QString &text)
{
    const QString t = text.trimmed();
    for (const char *pattern : {DateTimePattern, "yyyy/M/d H:m:s", "yyyy/M/d H:m", "yyyy/M/d",
                                "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss"}) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(pattern));
        if (dt.isValid())
            return dt;
    }
    return {};
}

} // namespace NumberText
