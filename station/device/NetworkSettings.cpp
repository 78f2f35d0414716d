#include "NetworkSettings.h"

#include "DeviceCommands.h"
#include "OptionWords.h"
#include "WritePlan.h"
#include "common/LiveFields.h"
#include "link/ModbusFrames.h"

namespace
{

constexpr qint64 OctetMax = 255;
constexpr qint64 FirstModbusAddress = 1, LastModbusAddress = 247;

QString octetCaption(const QString &caption, int octet)
{
    return QStringLiteral("%1 %2").arg(caption).arg(octet + 1);
}

} // namespace

NetworkSettings::NetworkSettings(LiveFields &fields, DeviceCommands &commands)
    : fields_(fields), commands_(commands)
{
}

void NetworkSettings::addOctets(WritePlan &plan, int firstReg, int firstField,
                                const QString &caption)
{
    for (int k = 0; k < 4; ++k)
        plan.writeField(firstReg + k, fields_, firstField + k, 1, octetCaption(caption, k), 0,
                        OctetMax);
}

void NetworkSettings::addPackedOctets(WritePlan &plan, int firstReg, int firstField,
                                      const QString &caption)
{
    for (int pair = 0; pair < 2; ++pair) {
        const int octet = 2 * pair;
        const auto high = plan.fieldValue(fields_, firstField + octet, 1,
                                          octetCaption(caption, octet), 0, OctetMax);
        const auto low = plan.fieldValue(fields_, firstField + octet + 1, 1,
                                         octetCaption(caption, octet + 1), 0, OctetMax);
        if (high && low)
            plan.write(firstReg + pair, OptionWords::packBytes(*high, *low));
    }
}

void NetworkSettings::stageOwnAddress()
{
    WritePlan plan;
    addOctets(plan, 179, 180, QStringLiteral("IP address"));
    addOctets(plan, 183, 184, QStringLiteral("Subnet Mask"));
    addOctets(plan, 187, 188, QStringLiteral("Gateway"));
    plan.writeField(193, fields_, 194, 1, QStringLiteral("Modbus RTU Addr"), FirstModbusAddress,
                    LastModbusAddress);
    commands_.run(QStringLiteral("Modify"), plan, DeviceCommands::LeadPauseMs);
}

void NetworkSettings::stageServerAddresses()
{
    WritePlan plan;
    addPackedOctets(plan, 175, 176, QStringLiteral("TCP Server IP_0"));
    addPackedOctets(plan, 177, 223, QStringLiteral("TCP Server IP_1"));
    commands_.run(QStringLiteral("Modify"), plan, DeviceCommands::LeadPauseMs);
}

void NetworkSettings::stageNtpServer()
{
    WritePlan plan;
    addOctets(plan, 170, 171, QStringLiteral("NTP Server IP"));
    commands_.run(QStringLiteral("Modify"), plan, DeviceCommands::LeadPauseMs);
}

void NetworkSettings::stageDisplayAddress()
{
    WritePlan plan;
    addPackedOctets(plan, 203, 244, QStringLiteral("RVD-K09 IP"));
    commands_.run(QStringLiteral("Modify"), plan, DeviceCommands::LeadPauseMs);
}

void NetworkSettings::commit(int code)
{
    WritePlan plan;
    plan.write(ModbusFrames::CommandRegister, code);
    commands_.run(QStringLiteral("Write"), plan, DeviceCommands::LeadPauseMs);
}

void NetworkSettings::commitOwnAddress()
{
    commit(CommitOwnAddress);
}

void NetworkSettings::commitServerAddresses()
{
    commit(CommitServers);
}

void NetworkSettings::commitNtpServer()
{
    commit(CommitServers);
}

void NetworkSettings::commitDisplayAddress()
{
    commit(CommitServers);
}
