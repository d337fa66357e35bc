#pragma once
#include "sim/cards/field.h"
#include "sim/core/bootloader.h"
#include "sim/core/faultplan.h"
#include "sim/core/identity.h"
#include "sim/core/parameterstore.h"
#include "sim/core/readermodule.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace kv350::sim {

class UhfModule;
class MifareModule;
class NtagModule;
class Iso15693Module;

// The reader's firmware without any wire: a request frame in, its replies out.
// handle() depends on nothing but the reader's state, so tests call it directly;
// the transports (SimHidDevice, SimSerialStream, PtyServer) add framing, time
// and the fault plan around it.
class VirtualReader final : public ReaderContext {
public:
    static constexpr int DefaultRebootTimeMs = 1500;
    static constexpr int UserMemorySize = 256;
    static constexpr std::size_t MaxLoggedRequests = 4096;

    explicit VirtualReader(Identity identity = {});
    ~VirtualReader() override;
    VirtualReader(const VirtualReader &) = delete;
    VirtualReader &operator=(const VirtualReader &) = delete;

    // A malformed frame is logged and gets no reply; an unknown command, or one
    // the model's hardware lacks (hardware.h), gets STA 0x10.
    std::vector<QByteArray> handle(const QByteArray &request);

    // Every frame handle() was given, as it came off the wire.
    const std::vector<QByteArray> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    const Identity &identity() const override { return m_identity; }
    // Parameters stay as they are; a new model's factory values come with restoreFactoryDefaults().
    void setIdentity(const Identity &identity) { m_identity = identity; }
    void setModel(const QByteArray &model) { m_identity.model = model; }
    void setVersion(const QByteArray &version) { m_identity.version = version; }
    void setSerial(const QByteArray &serial) { m_identity.serial = serial; }

    ParameterStore &parameters() override { return m_parameters; }
    const ParameterStore &parameters() const { return m_parameters; }
    void setAcceptFilter(std::uint8_t code, AcceptFilter filter);

    QByteArray &userMemory() override { return m_userMemory; }
    const QByteArray &userMemory() const { return m_userMemory; }

    Field &field() override { return m_field; }
    const Field &field() const { return m_field; }
    // The MIFARE key the reader holds for the sector; keyType 0x60 (A) or 0x61 (B).
    // Empty when none is stored.
    QByteArray storedKey(int sector, std::uint8_t keyType) const;
    // The MIFARE commands' key store and why the last one failed.
    MifareModule &mifare() { return *m_mifare; }
    const MifareModule &mifare() const { return *m_mifare; }
    // The NTAG (0x13/0x14) and ISO 15693 (0x21–0x24) commands, for why the last one failed.
    const NtagModule &ntag() const { return *m_ntag; }
    const Iso15693Module &iso15693() const { return *m_iso15693; }

    FaultPlan &faults() { return m_faults; }
    const FaultPlan &faults() const { return m_faults; }

    // 0x0F 0F restarts the reader into its boot loader, which then answers
    // everything until it starts an application again.
    BootLoader &bootLoader() { return m_bootLoader; }
    const BootLoader &bootLoader() const { return m_bootLoader; }

    int rebootTimeMs() const { return m_rebootTimeMs; }
    void setRebootTimeMs(int ms) { m_rebootTimeMs = ms; }
    // True once after a reboot command; the transport then takes the reader offline.
    bool takeRebootRequest();
    int rebootCount() const { return m_rebootCount; }

    void requestReboot() override;
    // Factory default keeps the user memory: it is the user's data, not a setting.
    void restoreFactoryDefaults() override;

    // Searched newest first, so a later module can take over a command.
    void addModule(std::unique_ptr<ReaderModule> module);

    // The UHF module (tags in its field, radio state). Every reader has one
    // here; it answers only where the model has it, and only the texts of
    // what the model has of it (tags, radio test).
    UhfModule &uhf() { return *m_uhf; }
    // The module that is streaming frames of its own accord, if any.
    FrameStream *activeStream();

private:
    std::vector<QByteArray> handleBootLoader(const Request &request);

    Identity m_identity;
    ParameterStore m_parameters;
    QByteArray m_userMemory;
    FaultPlan m_faults;
    BootLoader m_bootLoader;
    Field m_field;
    MifareModule *m_mifare = nullptr;      // owned by m_modules
    NtagModule *m_ntag = nullptr;          // likewise
    Iso15693Module *m_iso15693 = nullptr;  // likewise
    std::vector<std::unique_ptr<ReaderModule>> m_modules;
    UhfModule *m_uhf = nullptr;
    std::vector<QByteArray> m_requests;
    int m_rebootTimeMs = DefaultRebootTimeMs;
    bool m_rebootRequested = false;
    int m_rebootCount = 0;
};

}  // namespace kv350::sim
