#include "ConnectionPage.h"

#include "common/Form.h"
#include "common/NumberText.h"
#include "common/SerialPortName.h"

ConnectionPage::ConnectionPage(Form &form, const ProgramFolder &folder, QObject *parent)
    : QObject(parent), form_(form), folder_(folder)
{
    for (Control *option : {&form_.optCom, &form_.optTCP, &form_.optTCP_svr})
        connect(option, &Control::checkedChanged, this, &ConnectionPage::edited);
    for (Control *field : {&form_.txtCom, &form_.txtBaud, &form_.txtIP, &form_.txtPort})
        connect(field, &Control::textChanged, this, &ConnectionPage::edited);
}

LinkSettings ConnectionPage::settingsShown(const LinkSettings &current) const
{
    LinkSettings shown = current;
    shown.kind = form_.optCom.isChecked()   ? LinkKind::Rtu
                 : form_.optTCP.isChecked() ? LinkKind::TcpClient
                                            : LinkKind::TcpServer;
    shown.host = form_.txtIP.text();
    shown.port = form_.txtPort.text();
    shown.serialPort = resolveSerialPort(form_.txtCom.text(), folder_);
    shown.serialSettings = form_.txtBaud.text();
    shown.unitAddress = unitAddress().value_or(current.unitAddress);
    return shown;
}

std::optional<quint8> ConnectionPage::unitAddress() const
{
    const qint64 address =
        NumberText::roundHalfEven(NumberText::leadingNumber(form_.mbus_id.text()));
    if (address < 0 || address > 255)
        return std::nullopt;
    return quint8(address);
}

void ConnectionPage::selectLinkKind(LinkKind kind)
{
    form_.optCom.setChecked(kind == LinkKind::Rtu);
    form_.optTCP.setChecked(kind == LinkKind::TcpClient);
    form_.optTCP_svr.setChecked(kind == LinkKind::TcpServer);
    if (kind == LinkKind::TcpServer)
        form_.optTCP_svr.setEnabled(true);
}

void ConnectionPage::showEngineeringControls(bool shown)
{
    for (Control *c : {&form_.Command2, &form_.Frame1, &form_.Label86, &form_.Label87,
                       &form_.Label88, &form_.Label121, &form_.Label17, &form_.Label18,
                       &form_.Label19, &form_.rxcnt, &form_.chkMTC})
        c->setVisible(shown);
    for (Control &c : form_.Label15_5to7)
        c.setVisible(shown);
    for (int i : {5, 6, 7, 39, 65, 66, 67, 165, 166, 167, 199, 200, 205, 206, 207})
        form_.txtReal.setVisible(i, shown);
    form_.optTCP_svr.setEnabled(shown || form_.optTCP_svr.isChecked());
}

void ConnectionPage::lockForRecordMode(bool recordMode)
{
    for (Control *button : recordModeLocks(form_))
        button->setEnabled(!recordMode);
}

QList<Control *> ConnectionPage::recordModeLocks(Form &form)
{
    return {&form.cmdDefault,     &form.cmdSet,        &form.cmdSet1,   &form.modify_KRT54,
            &form.modify_KRT54_1, &form.modify_svr_ip, &form.setip,     &form.wrt_ip_setting,
            &form.wrt_KRT54,      &form.wrt_KRT54_1,   &form.wrt_svr_ip};
}
