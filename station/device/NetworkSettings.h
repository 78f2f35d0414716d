#pragma once

#include <initializer_list>

class DeviceCommands;
class LiveFields;
struct SettingRegister;

// The connections page: the device's own address block, the two TCP servers, the NTP
// server and the RVD-K09 display. "Modify" stages the registers, "Write" commits them.
class NetworkSettings
{
public:
    static constexpr int CommitOwnAddress = 6;
    static constexpr int CommitServers = 18;

    NetworkSettings(LiveFields &fields, DeviceCommands &commands);

    void stageOwnAddress();
    void stageServerAddresses();
    void stageNtpServer();
    void stageDisplayAddress();
    void commitOwnAddress();
    void commitServerAddresses();
    void commitNtpServer();
    void commitDisplayAddress();

private:
    // "Modify": sends the settings' registers, or nothing when one is wrong.
    void stage(std::initializer_list<const SettingRegister *> settings);
    void commit(int code);

    LiveFields &fields_;
    DeviceCommands &commands_;
};
