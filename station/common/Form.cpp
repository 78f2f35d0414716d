#include "Form.h"

#include "common/FieldNumbers.h"

Form::Form(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < LiveFields::Count; ++i)
        txtReal.setText(i, QString::fromLatin1(LiveFields::NotYetRead));
    // The history page's facts of a record read as a dash until a record is loaded.
    for (int i :
         {Field::HistoryStationCode, Field::HistoryEventDate, Field::HistoryEventTime,
          Field::FirstHistoryPeak, Field::FirstHistoryPeak + 1, Field::FirstHistoryPeak + 2})
        txtReal.setText(i, QStringLiteral("\u2014"));

    for (Control *page : {&fraAnalyze, &fraHisTrend, &fraHis, &fraKRT54, &fraHost, &fraRT})
        page->setVisible(false);
    for (Control *tab : {&frarecord, &fraVoice, &fraconnects, &frasystem})
        tab->setVisible(false);

    optTCP.setChecked(true);
    optTCP_svr.setEnabled(false);
    txtCom.setText(QStringLiteral("1"));
    txtBaud.setText(QStringLiteral("19200,N,8,1"));
    txtIP.setText(QStringLiteral("192.168.1.100"));
    txtPort.setText(QStringLiteral("502"));
    mbus_id.setText(QStringLiteral("101"));
    txtrecPrev.setText(QStringLiteral("30"));
    txtrecafter.setText(QStringLiteral("90"));
    for (Control *combo : {&cboPga, &cboPga1})
        combo->setText(QStringLiteral("Combo1"));

    cmdComset.setText(QStringLiteral("OK"));
    cmdSave.setText(QStringLiteral("Save Setting"));
    lblRejected.setText(QStringLiteral("0"));
    lblAnyHost.setText(
        QStringLiteral("Any host may connect to the server link (no AllowedPeers in vorsa.ini)"));
    Frame10.setVisible(false);
    cmdadj.setText(QStringLiteral("adjustment"));
    cmdadj.setEnabled(false);
    optLPF[0].setChecked(true);

    // Engineering controls appear only in Engineer mode, when the link opens.
    for (Control *c :
         {&Command2, &Frame1, &Label86, &Label87, &Label88, &Label121, &Label17, &Label18, &Label19,
          &chkMTC, &rxcnt, &Label1_64, &Label37, &Label21, &Label22})
        c->setVisible(false);
    for (Control &c : Label15_5to7)
        c.setVisible(false);
    for (int i : {5,   6,   7,   39,  65,  66,  67,  165, 166, 167, 199,
                  200, 205, 206, 207, 235, 236, 237, 238, 248, 249})
        txtReal.setVisible(i, false);
    for (int i = 244; i <= 247; ++i)
        txtReal.setEnabled(i, false);
    for (Control *c : {&chkMMI, &chkKMA, &chkRVD, &wrt_rvd_ip, &modify_rvd_ip})
        c->setEnabled(false);
}
