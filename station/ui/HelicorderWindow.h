#pragma once

#include "history/Helicorder.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QCustomPlot;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QMouseEvent;
class Station;

// The helicorder: one channel of the continuous archive over a day from local midnight, one
// line per 15 minutes (or 30, 60) from the top, every line scaled alike by the clip level,
// the events of Vorsa.txt marked. While it shows today it reads on and redraws when the
// archive has grown, at most once a second. A click on a line opens the two minutes around that
// time in the history chart, cut from the archive as a record file.
class HelicorderWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int LiveCheckMs = 1000;
    static constexpr int StretchSeconds = 120;
    // The columns the day is reduced to while it is read: finer than a pixel of the
    // shortest line, so every choice of lines is drawn from them without reading again.
    static constexpr int SamplesPerColumn = 50;
    static constexpr int LeastColumnsPerLine = 600;

    explicit HelicorderWindow(Station &station, QWidget *parent = nullptr);

    // Reads the chosen day of the chosen channel from the archive and draws it.
    void reload();
    // Draws what was read, with the lines and clip level chosen.
    void redraw();
    // The two minutes around the time at this point of the drum, into the history chart.
    void openStretchAt(double x, double y);
    QCustomPlot *plot() const { return plot_; }
    // The live timer's tick: reads on when the archive of today has grown.
    void onLiveTick();

signals:
    void stretchOpened();

private:
    void readOn();
    void onPlotClicked(QMouseEvent *event);
    qint64 archivedBytesToday() const;

    Station &station_;
    QComboBox *channelBox_;
    QDateEdit *dayEdit_;
    QComboBox *minutesBox_;
    QDoubleSpinBox *clipBox_;
    QLabel *summary_;
    QCustomPlot *plot_;
    QTimer liveTimer_;
    qint64 drawnBytes_ = -1;
    HelicorderEnvelope envelope_; // of the channel and day shown
};
