#include "DevsimProcess.h"
#include "RegisterWrites.h"
#include "StationFixture.h"
#include "TcpTap.h"
#include "device/SettingRegisters.h"
#include "ui/DevicePage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>

// The device pages as widgets: what the engineer sees and presses reaches the device logic.
class TestDevicePage : public QObject
{
    Q_OBJECT
private slots:
    void pagesShowTheSimulatorAndWriteToIt();
    void recordModeReadsWhatThePagesShow();
    void wrongValueIsMarkedAndNamed();
    void buttonsWaitWhileACommandRuns();
    void educateModeLocksEveryControl();
    void tabWalksEditFieldsInScreenOrder();
};

namespace
{

// The page on its own, shown at the smallest screen it has to work on.
struct PageRig {
    explicit PageRig(StationFixture::LinkKind kind = StationFixture::LinkKind::Fake) : f(kind)
    {
        page = std::make_unique<DevicePage>(*f.station);
        page->resize(1024, 700);
    }
    Readout &readout() { return f.station->readout(); }
    template <typename T = QWidget> T *named(const QString &name, int tab)
    {
        showTab(tab);
        for (T *w : page->tabStrip()->widget(tab)->findChildren<T *>())
            if (w->accessibleName() == name)
                return w;
        return nullptr;
    }
    void showTab(int tab) { page->tabStrip()->setCurrentIndex(tab); }
    bool type(const QString &name, int tab, const QString &text)
    {
        auto *edit = named<QLineEdit>(name, tab);
        if (!edit)
            return false;
        edit->selectAll();
        QTest::keyClicks(edit, text);
        return true;
    }
    bool press(const QString &name, int tab)
    {
        auto *button = named<QPushButton>(name, tab);
        if (!button || !button->isEnabled())
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }

    StationFixture f;
    std::unique_ptr<DevicePage> page;
};

enum Tab { General, Connection, System };

// Register writes in the Modbus TCP frames a station sent (the clock's function 16 skipped).
QList<RegisterWrite> tcpWrites(const QByteArray &stream)
{
    QList<QByteArray> frames;
    for (int at = 0; at + 6 <= stream.size();) {
        const int size = 6 + RegisterWrites::word(stream, at + 4);
        if (stream[at + 7] == 6)
            frames << stream.mid(at, size);
        at += size;
    }
    return RegisterWrites::tcp(frames);
}

// The device's stored settings, in register order (live values and the clock left out).
QList<int> settingRegisters(QTcpSocket &control)
{
    const QList<quint16> all = readRegisters(control, 113, 93); // 113 .. 205
    if (all.size() != 93)
        return {};
    QList<int> regs{113, 114, 115, 116, 117, 119, 120, 121, 122, 123, 193, 194, 196};
    for (const auto &[first, last] : {std::pair{159, 190}, std::pair{198, 205}})
        for (int reg = first; reg <= last; ++reg)
            regs << reg;
    QList<int> values;
    for (int reg : regs)
        values << all[reg - 113];
    return values;
}

QList<int> commitCodes(const QList<RegisterWrite> &writes)
{
    QList<int> codes;
    for (const RegisterWrite &w : writes)
        if (w.first == 112)
            codes << w.second;
    return codes;
}

} // namespace

void TestDevicePage::pagesShowTheSimulatorAndWriteToIt()
{
    DevsimProcess sim({QStringLiteral("--scenario"), QStringLiteral("quiet")});
    QVERIFY(sim.isReady());
    std::unique_ptr<QTcpSocket> control = sim.connect();
    QVERIFY(control);
    TcpTap tap(sim.port());
    PageRig r(StationFixture::LinkKind::Real);
    r.f.useClientLinkTo(tap.port());
    r.f.station->openLink();
    // Read in full: the poll grows to the registers of the device's firmware.
    QTRY_VERIFY_WITH_TIMEOUT(
        r.readout().liveFields.text(Setting::MountingAngle.live) != QLatin1String("88888"), 5000);
    r.f.station->showDeviceSettings();
    r.page->show();

    // The device's values on the page, and the edit copies the same.
    const QList<quint16> shown = readRegisters(*control, 113, 61); // 113 .. 173
    QCOMPARE(shown.size(), 61);
    QCOMPARE(r.named<QLineEdit>("Time Zone (device)", System)->text(),
             QString::number(shown[113 - 113]));
    QCOMPARE(r.named<QLineEdit>("NTP Server IP 4 (device)", Connection)->text(),
             QString::number(shown[173 - 113]));
    QCOMPARE(r.named<QLineEdit>("Pd_th (watch) (device)", General)->text().toDouble(),
             shown[163 - 113] / 1000.0);
    int pairs = 0;
    for (int tab : {General, Connection, System}) {
        for (QLineEdit *edit : r.page->tabStrip()->widget(tab)->findChildren<QLineEdit *>()) {
            auto *live = r.named<QLineEdit>(edit->accessibleName() + " (device)", tab);
            if (edit->isReadOnly() || !live || qobject_cast<QComboBox *>(edit->parent()))
                continue;
            QVERIFY2(edit->text() == live->text(), qPrintable(edit->accessibleName()));
            ++pairs;
        }
    }
    QCOMPARE(pairs, 57); // every edit field of the three pages has its live field
    for (int tab : {General, Connection, System}) {
        r.showTab(tab);
        for (QLineEdit *field : r.page->tabStrip()->widget(tab)->findChildren<QLineEdit *>()) {
            const int room = field->contentsRect().width() - 8; // the frame's inner margins
            QVERIFY2(!field->isVisible() ||
                         field->fontMetrics().horizontalAdvance(field->text()) <= room,
                     qPrintable(field->accessibleName() + ": " + field->text() + " cut off"));
        }
    }

    // One change on each page, each sent by its page's buttons.
    const QList<int> before = settingRegisters(*control);
    QVERIFY(!before.isEmpty());
    QVERIFY(r.type("Time Zone", System, "9"));
    QVERIFY(r.press("Write", System));
    QVERIFY(r.type("Pd_th (watch)", General, "0.25"));
    QVERIFY(r.press("Write", General));
    QVERIFY(r.type("NTP Server IP 4", Connection, "77"));
    QVERIFY(r.press("Modify (NTP server)", Connection));
    QVERIFY(r.press("Write (NTP server)", Connection));
    QVERIFY2(r.f.prompter.told.isEmpty(), qPrintable(r.f.prompter.told.join('\n')));
    // Exactly the three values changed in the device.
    const QList<int> after = settingRegisters(*control);
    QCOMPARE(after.size(), before.size());
    int changed = 0;
    for (int k = 0; k < after.size(); ++k)
        changed += after[k] != before[k] ? 1 : 0;
    QCOMPARE(changed, 3);
    QCOMPARE(readRegisters(*control, 113, 1).value(0), quint16(9));
    QCOMPARE(readRegisters(*control, 163, 1).value(0), quint16(250));
    QCOMPARE(readRegisters(*control, 173, 1).value(0), quint16(77));
    QTRY_COMPARE(r.named<QLineEdit>("Pd_th (watch) (device)", General)->text(),
                 QStringLiteral("0.25"));

    QVERIFY(r.press("Default", System));
    QTRY_COMPARE(commitCodes(tcpWrites(tap.fromConnector)), (QList<int>{2, 2, 18, 5377}));
    QTRY_COMPARE(readRegisters(*control, 113, 1).value(0), quint16(before[0])); // the default
}

// With Record mode on the device streams, and its packets leave out the addresses: opening the
// page reads them between two packets, and the stream goes on.
void TestDevicePage::recordModeReadsWhatThePagesShow()
{
    DevsimProcess sim({QStringLiteral("--scenario"), QStringLiteral("quiet")});
    QVERIFY(sim.isReady());
    std::unique_ptr<QTcpSocket> control = sim.connect();
    QVERIFY(control);
    PageRig r(StationFixture::LinkKind::Real);
    r.f.useClientLinkTo(sim.port());
    r.f.station->connectionPage().recordModeBox.setChecked(true);
    r.f.station->openLink();
    r.page->show();
    const auto shown = [&r](const QString &name) {
        auto *field = r.named<QLineEdit>(name, Connection);
        return field ? field->text() : QStringLiteral("missing");
    };
    QCOMPARE(shown("Subnet Mask 1 (device)"), QStringLiteral("\u2014"));
    QCOMPARE(shown("RVD-K09 IP 1 (device)"), QStringLiteral("\u2014"));
    const SampleRing &ring = r.f.station->sampleRing();
    QTRY_VERIFY_WITH_TIMEOUT(ring.writeIndex() > 0, 5000); // streaming, its firmware known

    r.f.station->showDeviceSettings();
    QCOMPARE(r.readout().statusLine.text(), QStringLiteral("Record mode: reading settings…"));
    QTRY_COMPARE(r.readout().statusLine.text(),
                 QStringLiteral("Record mode: settings read from the device."));
    const QList<quint16> own = readRegisters(*control, 183, 11); // mask, gateway .. address
    QCOMPARE(own.size(), 11);
    const QStringList octets{"Subnet Mask", "Gateway"};
    for (int k = 0; k < 8; ++k) {
        const QString name = QStringLiteral("%1 %2").arg(octets[k / 4]).arg(k % 4 + 1);
        QCOMPARE(shown(name + " (device)"), QString::number(own[k]));
        QCOMPARE(shown(name), QString::number(own[k])); // the edit copy
    }
    QCOMPARE(shown("Modbus RTU Addr (device)"), QString::number(own[10]));
    const QList<quint16> display = readRegisters(*control, 203, 2);
    QCOMPARE(display.size(), 2);
    QCOMPARE(shown("RVD-K09 IP 1 (device)"), QString::number(display[0] / 256));
    QCOMPARE(shown("RVD-K09 IP 4 (device)"), QString::number(display[1] % 256));

    // No packet was refused, and the stream goes on.
    const int rowsAfterRead = ring.writeIndex();
    QTRY_VERIFY_WITH_TIMEOUT(ring.writeIndex() != rowsAfterRead, 3000);
    QCOMPARE(r.f.station->linkStatus().rejectedFrames(), 0);
    // The writes Record mode holds back say why.
    auto *modify = r.named<QPushButton>("Modify (own address)", Connection);
    QVERIFY(!modify->isEnabled());
    QVERIFY2(modify->toolTip().startsWith("Record mode"), qPrintable(modify->toolTip()));
}

void TestDevicePage::wrongValueIsMarkedAndNamed()
{
    PageRig r;
    r.f.station->connectionPage().serialOption.setChecked(true);
    r.f.station->connectionPage().tcpClientOption.setChecked(false);
    r.f.station->openLink();
    r.f.links.serialWrites.clear(); // the poll's read
    for (int field = 71; field <= 74; ++field)
        r.readout().liveFields.setText(field, QStringLiteral("10"));
    r.f.station->showDeviceSettings();
    r.page->show();
    auto *third = r.named<QLineEdit>("NTP Server IP 3", Connection);
    QVERIFY(third);

    QVERIFY(r.type("NTP Server IP 3", Connection, "999"));
    QTest::keyClick(third, Qt::Key_Return); // Enter sends nothing
    QVERIFY(r.f.links.serialWrites.isEmpty());
    QVERIFY(r.press("Modify (NTP server)", Connection));
    QVERIFY(r.f.links.serialWrites.isEmpty());
    QVERIFY2(r.readout().statusLine.text().contains("NTP Server IP 3 \"999\""),
             qPrintable(r.readout().statusLine.text()));
    QVERIFY(!third->styleSheet().isEmpty());
    QVERIFY(r.named<QLineEdit>("NTP Server IP 2", Connection)->styleSheet().isEmpty());

    // Corrected, the mark goes and the block is sent.
    QVERIFY(r.type("NTP Server IP 3", Connection, "3"));
    QVERIFY(third->styleSheet().isEmpty());
    QVERIFY(r.press("Modify (NTP server)", Connection));
    QCOMPARE(RegisterWrites::rtu(r.f.links.serialWrites),
             (QList<RegisterWrite>{{170, 10}, {171, 10}, {172, 3}, {173, 10}}));
}

void TestDevicePage::buttonsWaitWhileACommandRuns()
{
    PageRig r;
    r.f.links.clientConnected = true;
    r.f.station->linkStatus().setOpen(true);
    r.page->show();
    QStringList enabledMeanwhile;
    QString statusMeanwhile;
    r.f.links.onSend = [&] {
        r.f.station->linkManager().pollState().awaitingReply = false; // a device that answers
        for (QPushButton *b : r.page->findChildren<QPushButton *>())
            if (b->isEnabled() && b->accessibleName() != QLatin1String("OK"))
                enabledMeanwhile << b->accessibleName();
        statusMeanwhile = r.readout().statusLine.text();
    };
    QVERIFY(r.press("Alarm ON", General));
    QCOMPARE(RegisterWrites::tcp(r.f.links.clientSends), (QList<RegisterWrite>{{118, 3}}));
    QCOMPARE(enabledMeanwhile, QStringList());
    QVERIFY2(statusMeanwhile.contains("register 118"), qPrintable(statusMeanwhile));
    QVERIFY(r.named<QPushButton>("Alarm ON", General)->isEnabled());
    QCOMPARE(r.readout().statusLine.text(), QStringLiteral("Alarm ON: sent."));
}

void TestDevicePage::educateModeLocksEveryControl()
{
    PageRig r;
    r.f.writeFile("sys.txt", "engineer Mode:2\r\n");
    r.f.station->start(QString());
    r.f.station->showDeviceSettings();
    r.page->show();
    for (int tab : {General, Connection, System}) {
        r.showTab(tab);
        QCOMPARE(r.page->tabStrip()->currentIndex(), tab); // the pages still show
        const QWidget *content = r.page->tabStrip()->widget(tab);
        int controls = 0;
        for (const QWidget *w : content->findChildren<QWidget *>()) {
            const auto *edit = qobject_cast<const QLineEdit *>(w);
            const bool control = (edit && !edit->isReadOnly() && w->parent() != nullptr &&
                                  !qobject_cast<const QComboBox *>(w->parent())) ||
                                 qobject_cast<const QAbstractButton *>(w) ||
                                 qobject_cast<const QComboBox *>(w);
            if (!control)
                continue;
            QVERIFY2(!w->isEnabled(), qPrintable(w->accessibleName()));
            ++controls;
        }
        QVERIFY(controls > 5);
    }
    const QString reason = QStringLiteral("Educate mode: settings are locked");
    QCOMPARE(r.named<QPushButton>("Write", General)->toolTip(), reason);
    bool told = false;
    for (const QLabel *label : r.page->findChildren<QLabel *>())
        told = told || (label->isVisible() && label->text() == reason);
    QVERIFY(told);
}

// Edit fields in focus order: each lies on its predecessor's line to the right, below it, or
// at the top of a column further right.
void TestDevicePage::tabWalksEditFieldsInScreenOrder()
{
    PageRig r;
    r.f.writeFile("sys.txt", "engineer Mode:1\r\n"); // every row shown
    r.f.station->start(QString());
    r.f.station->openLink();
    QVERIFY(r.f.station->deviceSettings().controls().calibrationBlock.isVisible());
    r.page->show();
    for (int tab : {General, Connection, System}) {
        r.showTab(tab);
        QWidget *content = qobject_cast<QScrollArea *>(r.page->tabStrip()->widget(tab))->widget();
        QList<QWidget *> order;
        for (QWidget *w = content->nextInFocusChain(); w != content; w = w->nextInFocusChain()) {
            auto *edit = qobject_cast<QLineEdit *>(w);
            if (edit && !edit->isReadOnly() && edit->isVisible() && content->isAncestorOf(edit) &&
                !qobject_cast<QComboBox *>(edit->parent()) && !order.contains(edit))
                order << edit;
            if (order.size() > 200)
                break;
        }
        QVERIFY(order.size() >= 4);
        for (int k = 1; k < order.size(); ++k) {
            const QPoint a = order[k - 1]->mapTo(content, QPoint(0, 0));
            const QPoint b = order[k]->mapTo(content, QPoint(0, 0));
            const bool sameLine = qAbs(a.y() - b.y()) < order[k]->height() / 2;
            const bool nextColumn = b.x() > a.x() + order[k - 1]->width();
            QVERIFY2(
                sameLine ? b.x() > a.x() : b.y() > a.y() || nextColumn,
                qPrintable(order[k - 1]->accessibleName() + " then " + order[k]->accessibleName()));
        }
    }
}

QTEST_MAIN(TestDevicePage)
#include "tst_devicepage.moc"
