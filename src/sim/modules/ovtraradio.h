#pragma once
#include "sim/core/readermodule.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <deque>

namespace kv350::sim {

enum class RadioMode { Idle, Transmit, Receive, AutoTest };

// The radio side of the UHF module: a file of 256 byte registers written with
// W texts, the test modes, and the automatic test, which streams one result
// frame every periodMs until it is stopped.
//
// Registers that mean something here: 0x09 modulation (0x45 on, 0x05 off),
// 0x0B the channel within its half (0..255), 0x0E..0x10 the half (5B C4 94
// channels 1..256, 5E 3B 13 channels 257..512), 0x30 the PA power.
class OvtraRadio final : public FrameStream {
public:
    static constexpr int DefaultPeriodMs = 200;
    static constexpr std::uint8_t RegModulation = 0x09;
    static constexpr std::uint8_t RegChannel = 0x0B;
    static constexpr std::uint8_t RegHalf = 0x0E;
    static constexpr std::uint8_t RegPower = 0x30;
    static constexpr std::uint8_t ModulationOn = 0x45;
    static constexpr std::uint8_t ModulationOff = 0x05;
    // The channels the automatic test reports on, in turn: Low, Mid, High.
    static constexpr int TestChannels[] = {62, 248, 385};

    OvtraRadio() { loadDefaults(); }

    std::uint8_t reg(int address) const { return m_regs[std::size_t(address & 0xFF)]; }
    // False (nothing written) when the bytes would run past register 0xFF.
    bool writeRegisters(int first, const QByteArray &bytes);

    // 0 lower half, 1 upper half, -1 when register 0x0E..0x10 selects neither.
    int channelHalf() const;
    int channelByte() const { return reg(RegChannel); }
    // 1..512, or -1 without a valid half.
    int channel() const;
    int power() const { return reg(RegPower); }
    bool modulation() const { return reg(RegModulation) == ModulationOn; }
    RadioMode mode() const { return m_mode; }

    void setMode(RadioMode mode);
    // Zx: the module starts again with the registers as last written, idle.
    void reboot();
    // Zi: the default registers, idle.
    void initial();
    int rebootCount() const { return m_reboots; }

    void startAutoTest();
    void stopAutoTest();
    // The next results streamed are these frames, as they are, before the
    // module's own lines (a test's way to send short or failed results).
    void scriptAutoTest(std::deque<QByteArray> frames) { m_script = std::move(frames); }
    int autoTestFramesSent() const { return m_sent; }
    void setPeriodMs(int ms) { m_periodMs = ms; }

    // FrameStream
    bool streaming() const override { return m_mode == RadioMode::AutoTest; }
    int periodMs() const override { return m_periodMs; }
    // DATA: a 16-byte result line ("#0001 CH062 PASS"), the channel (2 bytes),
    // the PA power, an RSSI byte, the sequence number (2 bytes), the mode; 27 bytes in all.
    QByteArray nextFrame() override;

private:
    void loadDefaults();

    std::array<std::uint8_t, 256> m_regs{};
    RadioMode m_mode = RadioMode::Idle;
    int m_reboots = 0;
    int m_periodMs = DefaultPeriodMs;
    int m_sent = 0;
    int m_sequence = 0;
    std::deque<QByteArray> m_script;
};

}  // namespace kv350::sim
