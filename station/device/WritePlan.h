#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class LiveFields;

// The register writes of one device command, checked in full before anything is sent: a
// command with one value the device cannot take sends nothing, so the device is never left
// half configured.
class WritePlan
{
public:
    static constexpr qint64 WordLow = -32768; // a register travels as one 16-bit word
    static constexpr qint64 WordHigh = 65535;

    struct Write {
        int reg = 0;
        qint64 value = 0;
        bool skipped = false;   // a row left out; the serial pause after it still happens
        bool pauseAfter = true; // the 60 ms after a write on the serial link
    };

    // The numeric value of edit field `field` times `factor`, rounded half to even, when it
    // lies within low..high; otherwise notes what is wrong with the field and gives nothing.
    // A field still showing "88888" was never read from the device and is always wrong.
    // A refusal names the field by `caption` and gives the range in the row's `unit` (the
    // range the device takes, divided by `factor`), as the engineer types the value.
    std::optional<qint64> fieldValue(const LiveFields &fields, int field, double factor,
                                     const QString &caption, qint64 low = WordLow,
                                     qint64 high = WordHigh, const QString &unit = {});
    // Writes the field's value to `reg` when it is valid.
    void writeField(int reg, const LiveFields &fields, int field, double factor,
                    const QString &caption, qint64 low = WordLow, qint64 high = WordHigh,
                    const QString &unit = {});

    // `limit` in the unit of a row whose value is multiplied by `factor` before sending,
    // rounded towards the inside of the range so that the bound shown is itself accepted.
    static QString boundText(qint64 limit, double factor, bool upper);

    void write(int reg, qint64 value, bool pauseAfter = true);
    void skip(bool pauseAfter = true);

    const QList<Write> &writes() const { return writes_; }
    bool isValid() const { return problems_.isEmpty(); }
    // Every wrong field, for the operator.
    QString problems() const { return problems_.join(QStringLiteral("; ")); }
    // The numbers of the wrong edit fields, so that the page can mark them.
    const QList<int> &wrongFields() const { return wrongFields_; }

private:
    void refuse(int field, const QString &problem);

    QList<Write> writes_;
    QStringList problems_;
    QList<int> wrongFields_;
};
