#include "Readout.h"

#include "common/FieldNumbers.h"

Readout::Readout(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < LiveFields::Count; ++i)
        liveFields.setText(i, QString::fromLatin1(LiveFields::NotYetRead));
    // The history page's facts of a record read as a dash until a record is loaded.
    for (int i :
         {Field::HistoryStationCode, Field::HistoryEventDate, Field::HistoryEventTime,
          Field::FirstHistoryPeak, Field::FirstHistoryPeak + 1, Field::FirstHistoryPeak + 2})
        liveFields.setText(i, QStringLiteral("\u2014"));

    serverInfo.setVisible(false);

    rateCaption.setVisible(false); // shown in Engineer mode, when the link opens
    for (int i : {5,   6,   7,   39,  65,  66,  67,  165, 166, 167, 199,
                  200, 205, 206, 207, 235, 236, 237, 238, 248, 249})
        liveFields.setVisible(i, false);
    for (int i = 244; i <= 247; ++i)
        liveFields.setEnabled(i, false);
}
