#include "DeviceRig.h"

#include <QSignalSpy>
#include <QTest>

using Handler = void (NetworkSettings::*)();
Q_DECLARE_METATYPE(Handler)

class TestNetworkSettings : public QObject
{
    Q_OBJECT
private slots:
    void ownAddressBlock();
    void serverAddressesTwoOctetsPerRegister();
    void ntpServerOneOctetPerRegister();
    void rvdAddress();
    void commitCodes_data();
    void commitCodes();
    void wrongValuesSendNothing_data();
    void wrongValuesSendNothing();
};

namespace
{

void setOctets(DeviceRig &r, int firstField, const QList<int> &octets)
{
    for (int k = 0; k < octets.size(); ++k)
        r.setField(firstField + k, QString::number(octets[k]));
}

// Every address field of the page filled with a valid value.
void fillValidPage(DeviceRig &r)
{
    for (int first : {180, 184, 188, 176, 223, 171, 244})
        setOctets(r, first, {10, 0, 0, 1});
    r.setField(Setting::ModbusAddress.edit, QStringLiteral("1"));
}

} // namespace

void TestNetworkSettings::ownAddressBlock()
{
    DeviceRig r;
    setOctets(r, 180, {192, 168, 1, 100});
    setOctets(r, 184, {255, 255, 255, 0});
    setOctets(r, 188, {192, 168, 1, 254});
    r.setField(Setting::ModbusAddress.edit, QStringLiteral("247"));
    r.network.stageOwnAddress();
    QCOMPARE(r.serialWrites(), (QList<RegisterWrite>{{179, 192},
                                                     {180, 168},
                                                     {181, 1},
                                                     {182, 100},
                                                     {183, 255},
                                                     {184, 255},
                                                     {185, 255},
                                                     {186, 0},
                                                     {187, 192},
                                                     {188, 168},
                                                     {189, 1},
                                                     {190, 254},
                                                     {193, 247}}));
    QCOMPARE(r.waiter.pauses, QList<int>{300} + QList<int>(13, 60));
    QVERIFY(!r.poll.commandInProgress);
}

void TestNetworkSettings::serverAddressesTwoOctetsPerRegister()
{
    DeviceRig r;
    setOctets(r, 176, {1, 2, 3, 4});
    setOctets(r, 223, {192, 168, 0, 255});
    r.network.stageServerAddresses();
    QCOMPARE(r.serialWrites(),
             (QList<RegisterWrite>{{175, 258}, {176, 772}, {177, 49320}, {178, 255}}));
}

void TestNetworkSettings::ntpServerOneOctetPerRegister()
{
    DeviceRig r;
    setOctets(r, 171, {118, 163, 81, 61});
    r.network.stageNtpServer();
    QCOMPARE(r.serialWrites(),
             (QList<RegisterWrite>{{170, 118}, {171, 163}, {172, 81}, {173, 61}}));
}

void TestNetworkSettings::rvdAddress()
{
    DeviceRig r;
    r.useTcpClient();
    setOctets(r, 244, {172, 16, 5, 9});
    r.network.stageDisplayAddress();
    QCOMPARE(r.clientWrites(), (QList<RegisterWrite>{{203, 172 * 256 + 16}, {204, 5 * 256 + 9}}));
    QCOMPARE(r.waiter.pauses, QList<int>{300});
}

void TestNetworkSettings::commitCodes_data()
{
    QTest::addColumn<Handler>("write");
    QTest::addColumn<int>("code");
    QTest::newRow("own address") << &NetworkSettings::commitOwnAddress << 6;
    QTest::newRow("TCP servers") << &NetworkSettings::commitServerAddresses << 18;
    QTest::newRow("NTP server") << &NetworkSettings::commitNtpServer << 18;
    QTest::newRow("RVD-K09") << &NetworkSettings::commitDisplayAddress << 18;
}

void TestNetworkSettings::commitCodes()
{
    QFETCH(Handler, write);
    QFETCH(int, code);
    DeviceRig r;
    (r.network.*write)();
    QCOMPARE(r.serialWrites(), (QList<RegisterWrite>{{112, code}}));
    QCOMPARE(r.waiter.pauses, (QList<int>{300, 60}));
}

void TestNetworkSettings::wrongValuesSendNothing_data()
{
    QTest::addColumn<Handler>("modify");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("blamed"); // empty: accepted
    const Handler own = &NetworkSettings::stageOwnAddress;
    const Handler servers = &NetworkSettings::stageServerAddresses;
    QTest::newRow("octet 256") << own << 181 << "256"
                               << "IP address 2";
    QTest::newRow("octet 255") << own << 181 << "255"
                               << "";
    QTest::newRow("negative octet") << own << 191 << "-1"
                                    << "Gateway 4";
    QTest::newRow("mask not read") << own << 184 << "88888"
                                   << "Subnet Mask 1";
    QTest::newRow("address 0") << own << 194 << "0"
                               << "Modbus RTU Addr";
    QTest::newRow("address 1") << own << 194 << "1"
                               << "";
    QTest::newRow("address 247") << own << 194 << "247"
                                 << "";
    QTest::newRow("address 248") << own << 194 << "248"
                                 << "Modbus RTU Addr";
    QTest::newRow("packed octet would spill") << servers << 177 << "300"
                                              << "TCP Server IP_0 2";
    QTest::newRow("second server not read") << servers << 226 << "88888"
                                            << "TCP Server IP_1 4";
    QTest::newRow("NTP octet") << &NetworkSettings::stageNtpServer << 173 << "999"
                               << "NTP Server IP 3";
    QTest::newRow("RVD-K09 octet") << &NetworkSettings::stageDisplayAddress << 244 << "1000"
                                   << "RVD-K09 IP 1";
}

void TestNetworkSettings::wrongValuesSendNothing()
{
    QFETCH(Handler, modify);
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, blamed);
    DeviceRig r;
    fillValidPage(r);
    r.setField(field, text);
    QSignalSpy checked(&r.commands, &DeviceCommands::fieldsChecked);
    (r.network.*modify)();
    QCOMPARE(checked.size(), 1);
    const auto wrong = checked.first().first().value<QList<int>>();
    if (blamed.isEmpty()) {
        QVERIFY(!r.links.serialWrites.isEmpty());
        QVERIFY(r.prompter.told.isEmpty());
        QVERIFY(wrong.isEmpty());
        return;
    }
    verifyRefused(r, blamed);
    QCOMPARE(wrong, QList<int>{field}); // the page marks exactly this field
}

QTEST_GUILESS_MAIN(TestNetworkSettings)
#include "tst_networksettings.moc"
