#include "DevicePage.h"
#include "DeviceWidgets.h"
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

struct Address {
    const char *caption;
    int live, edit;
    int octets; // 1: a plain number
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
    const QString name = DeviceWidgets::nameOf(QString::fromLatin1(a.caption));
    for (int k = 0; k < a.octets; ++k) {
        const QString octet = a.octets == 1 ? name : QStringLiteral("%1 %2").arg(name).arg(k + 1);
        grid->addWidget(w.liveField(a.live + k, octet, OctetChars), line, FirstLiveColumn + k);
        grid->addWidget(w.editField(a.edit + k, octet, OctetChars), line, FirstEditColumn + k);
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
         {{"IP address              :", 80, 180, 4},
          {"Subnet Mask          :", 84, 184, 4},
          {"Gateway                  :", 88, 188, 4},
          {"Modbus RTU Addr :", 94, 194, 1}},
         controls.buttons.stageOwnAddress,
         controls.buttons.commitOwnAddress,
         &NetworkSettings::stageOwnAddress,
         &NetworkSettings::commitOwnAddress},
        {"TCP servers",
         {{"TCP Server IP_0   :", 215, 176, 4}, {"TCP Server IP_1   :", 219, 223, 4}},
         controls.buttons.stageServers,
         controls.buttons.commitServers,
         &NetworkSettings::stageServerAddresses,
         &NetworkSettings::commitServerAddresses},
        {"NTP server",
         {{"NTP Server IP       :", 71, 171, 4}},
         controls.buttons.stageNtpServer,
         controls.buttons.commitNtpServer,
         &NetworkSettings::stageNtpServer,
         &NetworkSettings::commitNtpServer},
        {"RVD-K09",
         {{"RVD-K09 IP       :", 240, 244, 4}},
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
