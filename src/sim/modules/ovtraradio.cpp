#include "ovtraradio.h"

#include "common/protocol.h"
#include "sim/core/simframe.h"

#include <QString>

namespace kv350::sim {
namespace {

const QByteArray LowerHalf = QByteArray::fromHex("5BC494");
const QByteArray UpperHalf = QByteArray::fromHex("5E3B13");

}  // namespace

bool OvtraRadio::writeRegisters(int first, const QByteArray &bytes)
{
    if (first < 0 || first + bytes.size() > int(m_regs.size()))
        return false;
    for (int i = 0; i < bytes.size(); ++i)
        m_regs[std::size_t(first + i)] = std::uint8_t(bytes.at(i));
    return true;
}

int OvtraRadio::channelHalf() const
{
    const QByteArray half(reinterpret_cast<const char *>(m_regs.data()) + RegHalf, 3);
    if (half == LowerHalf)
        return 0;
    if (half == UpperHalf)
        return 1;
    return -1;
}

int OvtraRadio::channel() const
{
    const int half = channelHalf();
    return half < 0 ? -1 : half * 256 + channelByte() + 1;
}

void OvtraRadio::setMode(RadioMode mode)
{
    m_mode = mode;
}

void OvtraRadio::reboot()
{
    m_mode = RadioMode::Idle;
    ++m_reboots;
}

void OvtraRadio::initial()
{
    loadDefaults();
    m_mode = RadioMode::Idle;
}

void OvtraRadio::startAutoTest()
{
    // A start while the test runs goes on with the same numbering.
    if (m_mode != RadioMode::AutoTest)
        m_sequence = 0;
    m_mode = RadioMode::AutoTest;
}

void OvtraRadio::stopAutoTest()
{
    if (m_mode == RadioMode::AutoTest)
        m_mode = RadioMode::Idle;
}

QByteArray OvtraRadio::nextFrame()
{
    ++m_sent;
    if (!m_script.empty()) {
        QByteArray frame = m_script.front();
        m_script.pop_front();
        return frame;
    }
    m_sequence = m_sequence % 9999 + 1;
    const int channel = TestChannels[(m_sequence - 1) % 3];
    const int rssi = -40 - (m_sequence % 7);
    QByteArray data = QStringLiteral("#%1 CH%2 PASS")
                          .arg(m_sequence, 4, 10, QLatin1Char('0'))
                          .arg(channel, 3, 10, QLatin1Char('0'))
                          .toLatin1();
    data.append(QByteArray(16 - data.size(), '\0'));
    data.append(char(channel >> 8));
    data.append(char(channel & 0xFF));
    data.append(char(power()));
    data.append(char(std::int8_t(rssi)));
    data.append(char(m_sequence >> 8));
    data.append(char(m_sequence & 0xFF));
    data.append(char(modulation() ? 1 : 0));
    return makeReply(proto::CmdModule, proto::StaOk, data);
}

void OvtraRadio::loadDefaults()
{
    m_regs.fill(0);
    m_regs[RegModulation] = ModulationOn;
    writeRegisters(RegHalf, LowerHalf);
    m_regs[RegChannel] = 247;  // channel 248, the middle of the band
    m_regs[RegPower] = 0xFF;
}

}  // namespace kv350::sim
