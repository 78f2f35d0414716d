#include "ConnectionPage.h"

#include "common/NumberText.h"
#include "common/SerialPortName.h"

ConnectionPage::ConnectionPage(const ProgramFolder &folder, QObject *parent)
    : QObject(parent), folder_(folder)
{
    tcpClientOption.setChecked(true);
    tcpServerOption.setEnabled(false); // until Engineer mode or a start option chooses it
    serialPortField.setText(QStringLiteral("1"));
    serialSettingsField.setText(QStringLiteral("19200,N,8,1"));
    hostField.setText(QStringLiteral("192.168.1.100"));
    portField.setText(QStringLiteral("502"));
    unitAddressField.setText(QStringLiteral("101"));
    preEventField.setText(QStringLiteral("30"));
    postEventField.setText(QStringLiteral("90"));
    okButton.setText(QStringLiteral("OK"));
    saveButton.setText(QStringLiteral("Save Setting"));
    anyHostNote.setText(
        QStringLiteral("Any host may connect to the server link (no AllowedPeers in vorsa.ini)"));

    for (Control *option : {&serialOption, &tcpClientOption, &tcpServerOption})
        connect(option, &Control::checkedChanged, this, &ConnectionPage::edited);
    for (Control *field : {&serialPortField, &serialSettingsField, &hostField, &portField})
        connect(field, &Control::textChanged, this, &ConnectionPage::edited);
}

LinkSettings ConnectionPage::settingsShown(const LinkSettings &current) const
{
    LinkSettings shown = current;
    shown.kind = serialOption.isChecked()      ? LinkKind::Rtu
                 : tcpClientOption.isChecked() ? LinkKind::TcpClient
                                               : LinkKind::TcpServer;
    shown.host = hostField.text();
    shown.port = portField.text();
    shown.serialPort = resolveSerialPort(serialPortField.text(), folder_);
    shown.serialSettings = serialSettingsField.text();
    shown.unitAddress = unitAddress().value_or(current.unitAddress);
    return shown;
}

std::optional<quint8> ConnectionPage::unitAddress() const
{
    const qint64 address =
        NumberText::roundHalfEven(NumberText::leadingNumber(unitAddressField.text()));
    if (address < 0 || address > 255)
        return std::nullopt;
    return quint8(address);
}

void ConnectionPage::selectLinkKind(LinkKind kind)
{
    serialOption.setChecked(kind == LinkKind::Rtu);
    tcpClientOption.setChecked(kind == LinkKind::TcpClient);
    tcpServerOption.setChecked(kind == LinkKind::TcpServer);
    if (kind == LinkKind::TcpServer)
        tcpServerOption.setEnabled(true);
}

void ConnectionPage::showEngineeringControls(bool shown)
{
    tcpServerOption.setEnabled(shown || tcpServerOption.isChecked());
}
