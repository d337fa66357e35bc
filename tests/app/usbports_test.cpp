// The window's port list with several USB readers attached: one entry per
// reader by its serial number, and the reader picked is the one talked to.
#include "windowrig.h"

#include "sim/transports/simhidbus.h"

#include <QComboBox>

using namespace kv350;
using namespace kv350::testing;

namespace {

struct SeveralReadersWindow {
    explicit SeveralReadersWindow(int readers)
    {
        for (int i = 0; i < readers; ++i) {
            QString why;
            auto r = sim::makeSimulatedReader(QStringLiteral("KV350-MIC"), {}, time, &why);
            r->reader->setSerial(QByteArray::number(11111111 * (i + 1)));
            bus.attach(std::move(*r));
        }
        serial = std::make_unique<sim::SimSerialStream>(bus.reader(0), time);
        window = std::make_unique<TfrmMain>(WindowServices{bus, *serial, time, time, sounder, dialogs, store, ports});
        window->show();
    }
    QComboBox *portList() { return window->findChild<QComboBox *>(QStringLiteral("chkPort")); }
    QStringList entries()
    {
        QStringList items;
        for (int i = 0; i < portList()->count(); ++i)
            items.append(portList()->itemText(i));
        return items;
    }
    void pick(int index)
    {
        portList()->setCurrentIndex(index);
        emit portList()->activated(index);
    }

    VirtualTime time;
    sim::SimHidBus bus{time};
    std::unique_ptr<sim::SimSerialStream> serial;
    FakeSounder sounder;
    FakeDialogs dialogs;
    i18n::MemoryLanguageStore store;
    FakePorts ports;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST(UsbPortList, OneReaderKeepsTheListAsItWas)
{
    SeveralReadersWindow w(1);
    w.ports.ports = {QStringLiteral("/dev/ttyUSB0")};
    w.window->FormShow();  // the port list rebuilt, as after a change of language
    EXPECT_EQ(w.entries(), (QStringList{"USB Auto", "/dev/ttyUSB0"}));
}

TEST(UsbPortList, SeveralReadersEachBySerialNumberAndThePickedOneIsTalkedTo)
{
    SeveralReadersWindow w(2);
    w.ports.ports = {QStringLiteral("/dev/ttyUSB0")};
    w.window->FormShow();  // the port list rebuilt, as after a change of language
    EXPECT_EQ(w.entries(), (QStringList{"USB Auto", "USB 11111111", "USB 22222222", "/dev/ttyUSB0"}));

    w.pick(2);
    w.window->findChild<QAbstractButton *>(QStringLiteral("btnConnect"))->click();
    EXPECT_TRUE(w.window->findChild<QLabel *>(QStringLiteral("pnStatus"))->text().contains(QStringLiteral("22222222")));
    EXPECT_FALSE(w.bus.reader(1).requests().empty());
    // The USB modes of a USB reader, not those of a serial port.
    const QComboBox *modes = w.window->findChild<QComboBox *>(QStringLiteral("cmbUsbMode"));
    ASSERT_NE(modes, nullptr);
    EXPECT_EQ(modes->count(), 3);

    // Rebuilt (a change of language does it): the reader picked stays picked.
    const std::size_t before = w.bus.reader(0).requests().size();
    w.window->FormShow();  // the port list rebuilt, as after a change of language
    EXPECT_EQ(w.portList()->currentText(), QStringLiteral("USB 22222222"));
    EXPECT_EQ(w.bus.reader(0).requests().size(), before);

    // "USB Auto" is the first reader again.
    w.pick(0);
    w.window->findChild<QAbstractButton *>(QStringLiteral("btnConnect"))->click();
    EXPECT_TRUE(w.window->findChild<QLabel *>(QStringLiteral("pnStatus"))->text().contains(QStringLiteral("11111111")));
}

TEST(UsbPortList, NoFirmwareUpgradeWhileSeveralReadersAreAttached)
{
    // The boot loader is reached by the ids: with two readers it could be the other one.
    SeveralReadersWindow w(2);
    w.pick(2);
    w.window->findChild<QAbstractButton *>(QStringLiteral("btnUpgrade"))->click();
    EXPECT_EQ(w.window->findChild<QLabel *>(QStringLiteral("pnMsg"))->text(),
              QStringLiteral("Several readers are attached: take out all but the one to upgrade."));
    for (int i = 0; i < 2; ++i)
        for (const QByteArray &request : w.bus.reader(i).requests())
            EXPECT_NE(quint8(request[2]), 0x0F) << "reader " << i;
    EXPECT_FALSE(w.bus.reader(0).bootLoader().active());
    EXPECT_FALSE(w.bus.reader(1).bootLoader().active());
}
