#include "DevicePage.h"
#include "DeviceWidgets.h"
#include "device/SettingRegisters.h"
#include "shell/Station.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

// Columns of the address grid: caption, the device's four octets, the edit octets, buttons.
constexpr int FirstLiveColumn = 1, FirstEditColumn = 6, ModifyColumn = 10, WriteColumn = 11;
constexpr int OctetChars = 3;

// An address row: the caption keeps the blanks that aligned it.
struct Address {
    const char *caption;
    const SettingRegister &setting;
};

struct Block {
    const char *purpose; // tells apart the page's "Modify" and "Write" buttons
    QList<Address> addresses;
    Control &modifyModel, &writeModel;
    void (NetworkSettings::*modify)();
    void (NetworkSettings::*write)();
};

void addAddress(DeviceWidgets &w, QGridLayout *grid, int line, const Address &a)
{
    grid->addWidget(w.caption(QString::fromLatin1(a.caption)), line, 0);
    const int octets = a.setting.octets;
    for (int k = 0; k < octets; ++k) {
        // Named as a refused write names it.
        const QString octet = Setting::captionOf(a.setting, octets == 1 ? -1 : k);
        grid->addWidget(w.liveField(a.setting.live + k, octet, OctetChars), line,
                        FirstLiveColumn + k);
        grid->addWidget(w.editField(a.setting.edit + k, octet, OctetChars), line,
                        FirstEditColumn + k);
    }
}

int addBlock(DeviceWidgets &w, QGridLayout *grid, int line, const Block &block)
{
    NetworkSettings &network = w.station().networkSettings();
    const QString purpose = QStringLiteral(" (%1)").arg(QLatin1String(block.purpose));
    const auto modify = block.modify;
    const auto write = block.write;
    const int first = line;
    for (const Address &a : block.addresses)
        addAddress(w, grid, line++, a);
    grid->addWidget(w.commandButton(
                        QStringLiteral("Modify"), QStringLiteral("Modify") + purpose,
                        [&network, modify] { (network.*modify)(); }, &block.modifyModel),
                    first, ModifyColumn);
    grid->addWidget(w.commandButton(
                        QStringLiteral("Write"), QStringLiteral("Write") + purpose,
                        [&network, write] { (network.*write)(); }, &block.writeModel),
                    first, WriteColumn);
    auto *rule = new QFrame;
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    grid->addWidget(rule, line++, 0, 1, WriteColumn + 1);
    return line;
}

} // namespace

QWidget *buildConnectionTab(DeviceWidgets &w)
{
    DevicePageControls &controls = w.controls();
    const QList<Block> blocks = {
        {"own address",
         {{"IP address              :", Setting::IpAddress},
          {"Subnet Mask          :", Setting::SubnetMask},
          {"Gateway                  :", Setting::Gateway},
          {"Modbus RTU Addr :", Setting::ModbusAddress}},
         controls.buttons.stageOwnAddress,
         controls.buttons.commitOwnAddress,
         &NetworkSettings::stageOwnAddress,
         &NetworkSettings::commitOwnAddress},
        {"TCP servers",
         {{"TCP Server IP_0   :", Setting::Server0Address},
          {"TCP Server IP_1   :", Setting::Server1Address}},
         controls.buttons.stageServers,
         controls.buttons.commitServers,
         &NetworkSettings::stageServerAddresses,
         &NetworkSettings::commitServerAddresses},
        {"NTP server",
         {{"NTP Server IP       :", Setting::NtpServer}},
         controls.buttons.stageNtpServer,
         controls.buttons.commitNtpServer,
         &NetworkSettings::stageNtpServer,
         &NetworkSettings::commitNtpServer},
        {"RVD-K09",
         {{"RVD-K09 IP       :", Setting::DisplayAddress}},
         controls.buttons.stageDisplay,
         controls.buttons.commitDisplay,
         &NetworkSettings::stageDisplayAddress,
         &NetworkSettings::commitDisplayAddress},
    };
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    grid->addWidget(new QLabel(QStringLiteral("Device")), 0, FirstLiveColumn, 1, 4,
                    Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Setting")), 0, FirstEditColumn, 1, 4,
                    Qt::AlignCenter);
    grid->setColumnMinimumWidth(FirstEditColumn - 1, 16);
    grid->setColumnStretch(WriteColumn + 1, 1);
    int line = 1;
    for (const Block &block : blocks)
        line = addBlock(w, grid, line, block);
    layout->addStretch();
    return page;
}
