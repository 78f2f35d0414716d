#pragma once

#include <QLabel>

// A lamp that is lit or not, told to assistive technology as a read-only check box whose
// checked state is the lamp's: its colour alone says nothing to a screen reader.
class IndicatorLamp : public QLabel
{
    Q_OBJECT
public:
    explicit IndicatorLamp(const QString &name, QWidget *parent = nullptr);

    bool isLit() const { return lit_; }
    void setLit(bool lit);

private:
    bool lit_ = false;
};
