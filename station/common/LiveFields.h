#pragma once

#include <QObject>
#include <QString>
#include <array>

// The station's live-value fields (`liveFields`): every value the station shows or reads back
// lives here as text. Field i holds device register 99 + i for i = 0..100; the device pages
// use field i + 100 as the edit copy of field i.
class LiveFields : public QObject
{
    Q_OBJECT
public:
    static constexpr int Count = 250;
    static constexpr const char *NotYetRead = "88888";

    explicit LiveFields(QObject *parent = nullptr);

    QString text(int i) const;
    // The device has given the field a value: it is neither blank nor "not yet read".
    bool isRead(int i) const;
    // Signals `changed(i)` only when the text really changes, after it is in place.
    void setText(int i, const QString &text);

    // Leading number of the text, 0 when there is none.
    double value(int i) const;
    // The value rounded half to even, as a two's-complement integer.
    qint64 integer(int i) const;
    // Bit k of the integer value; a negative 16-bit word shows its bit pattern.
    bool bit(int i, int k) const;

    bool isVisible(int i) const;
    void setVisible(int i, bool visible);
    bool isEnabled(int i) const;
    void setEnabled(int i, bool enabled);

signals:
    void changed(int index);
    void stateChanged(int index); // visibility or enabled state

private:
    struct Field {
        QString text;
        double value = 0;
        bool visible = true;
        bool enabled = true;
    };
    static bool valid(int i) { return i >= 0 && i < Count; }
    std::array<Field, Count> fields_;
};
