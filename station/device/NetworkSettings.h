#pragma once

class DeviceCommands;
class LiveFields;
class QString;
class WritePlan;

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
    // Four octets, one per register.
    void addOctets(WritePlan &plan, int firstReg, int firstField, const QString &caption);
    // Four octets, two per register (the first octet of a pair in the high byte).
    void addPackedOctets(WritePlan &plan, int firstReg, int firstField, const QString &caption);
    void commit(int code);

    LiveFields &fields_;
    DeviceCommands &commands_;
};
