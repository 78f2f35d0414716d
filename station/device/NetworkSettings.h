#pragma once

class DeviceCommands;
class Form;
class QString;
class WritePlan;

// The connections page: the device's own address block, the two TCP servers, the NTP
// server and the RVD-K09 display. "Modify" stages the registers, "Write" commits them.
class NetworkSettings
{
public:
    static constexpr int CommitOwnAddress = 6;
    static constexpr int CommitServers = 18;

    NetworkSettings(Form &form, DeviceCommands &commands);

    void setip_Click();
    void modify_svr_ip_Click();
    void modify_KRT54_1_Click();
    void modify_rvd_ip_Click();
    void wrt_ip_setting_Click();
    void wrt_svr_ip_Click();
    void wrt_KRT54_1_Click();
    void wrt_rvd_ip_Click();

private:
    // Four octets, one per register.
    void addOctets(WritePlan &plan, int firstReg, int firstField, const QString &caption);
    // Four octets, two per register (the first octet of a pair in the high byte).
    void addPackedOctets(WritePlan &plan, int firstReg, int firstField, const QString &caption);
    void commit(int code);

    Form &form_;
    DeviceCommands &commands_;
};
