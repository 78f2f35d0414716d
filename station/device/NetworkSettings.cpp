#include "NetworkSettings.h"

#include "DeviceCommands.h"
#include "SettingRegisters.h"
#include "WritePlan.h"
#include "common/LiveFields.h"
#include "link/ModbusFrames.h"

NetworkSettings::NetworkSettings(LiveFields &fields, DeviceCommands &commands)
    : fields_(fields), commands_(commands)
{
}

void NetworkSettings::stage(std::initializer_list<const SettingRegister *> settings)
{
    WritePlan plan;
    for (const SettingRegister *setting : settings)
        Setting::write(plan, fields_, *setting);
    commands_.run(QStringLiteral("Modify"), plan, DeviceCommands::LeadPauseMs);
}

void NetworkSettings::stageOwnAddress()
{
    stage({&Setting::IpAddress, &Setting::SubnetMask, &Setting::Gateway, &Setting::ModbusAddress});
}

void NetworkSettings::stageServerAddresses()
{
    stage({&Setting::Server0Address, &Setting::Server1Address});
}

void NetworkSettings::stageNtpServer()
{
    stage({&Setting::NtpServer});
}

void NetworkSettings::stageDisplayAddress()
{
    stage({&Setting::DisplayAddress});
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
