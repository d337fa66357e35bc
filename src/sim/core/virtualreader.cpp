#include "virtualreader.h"

#include "common/protocol.h"
#include "sim/core/hardware.h"
#include "sim/modules/cardmodule.h"
#include "sim/modules/identitymodule.h"
#include "sim/modules/iso15693module.h"
#include "sim/modules/mifaremodule.h"
#include "sim/modules/ntagmodule.h"
#include "sim/modules/parametermodule.h"
#include "sim/modules/systemmodule.h"
#include "sim/modules/uhfmodule.h"
#include "sim/modules/userdatamodule.h"

namespace kv350::sim {

VirtualReader::VirtualReader(Identity identity)
    : m_identity(std::move(identity)), m_parameters(m_identity.model), m_userMemory(UserMemorySize, '\0')
{
    addModule(std::make_unique<IdentityModule>());
    addModule(std::make_unique<ParameterModule>());
    addModule(std::make_unique<SystemModule>());
    addModule(std::make_unique<CardModule>());
    addModule(std::make_unique<UserDataModule>());
    auto uhf = std::make_unique<UhfModule>();
    m_uhf = uhf.get();
    addModule(std::move(uhf));
    auto mifare = std::make_unique<MifareModule>();
    m_mifare = mifare.get();
    addModule(std::move(mifare));
    auto ntag = std::make_unique<NtagModule>();
    m_ntag = ntag.get();
    addModule(std::move(ntag));
    auto iso15693 = std::make_unique<Iso15693Module>();
    m_iso15693 = iso15693.get();
    addModule(std::move(iso15693));
}

VirtualReader::~VirtualReader() = default;

std::vector<QByteArray> VirtualReader::handle(const QByteArray &request)
{
    // A reader served for days must not grow without end: keep the latest half.
    if (m_requests.size() >= MaxLoggedRequests)
        m_requests.erase(m_requests.begin(), m_requests.begin() + MaxLoggedRequests / 2);
    m_requests.push_back(request);
    const std::optional<Request> parsed = parseRequest(request);
    if (!parsed)
        return {};
    if (m_bootLoader.active() || (parsed->cmd == proto::CmdSystem && parsed->data.size() == 1 &&
                                  byteAt(parsed->data, 0) == proto::SysBootLoader))
        return handleBootLoader(*parsed);
    // The model's firmware knows the commands of the hardware it has, and only those.
    const ModelHardware *hardware = findHardware(m_identity.model);
    if (!hasCommand(hardware, parsed->cmd))
        return {makeReply(parsed->cmd, proto::StaRejected)};
    if (parsed->cmd == proto::CmdParameter && !parsed->data.isEmpty() &&
        !hasParameter(hardware, byteAt(parsed->data, 0)))
        return {makeReply(parsed->cmd, proto::StaFailed)};  // as an unknown parameter code
    for (auto it = m_modules.rbegin(); it != m_modules.rend(); ++it)
        if ((*it)->handles(parsed->cmd))
            return (*it)->handle(*parsed, *this);
    return {makeReply(parsed->cmd, proto::StaRejected)};
}

std::vector<QByteArray> VirtualReader::handleBootLoader(const Request &request)
{
    if (!m_bootLoader.active()) {
        if (m_bootLoader.refusesEntry())
            return {makeReply(request.cmd, proto::StaFailed)};
        // Off the bus once the reply is out, back as the boot loader after the reboot time.
        m_bootLoader.enter();
        requestReboot();
        return {makeReply(request.cmd, proto::StaOk)};
    }
    std::vector<QByteArray> replies = m_bootLoader.handle(request, m_identity);
    if (m_bootLoader.takeRestart()) {
        if (!m_bootLoader.active()) {
            // A reader stays the model it is, whatever it was given to run;
            // the version is the new image's when its identity record is one
            // of this model. Any other image leaves the identity as it was.
            const auto identity = m_bootLoader.downloadedIdentity();
            if (identity && trimmedModel(identity->first) == trimmedModel(m_identity.model))
                m_identity.version = identity->second;
        }
        requestReboot();
    }
    return replies;
}

QByteArray VirtualReader::storedKey(int sector, std::uint8_t keyType) const
{
    if (keyType == MifareModule::KeyTypeA)
        return m_mifare->keys().key(sector, KeyType::A);
    if (keyType == MifareModule::KeyTypeB)
        return m_mifare->keys().key(sector, KeyType::B);
    return {};
}

void VirtualReader::setAcceptFilter(std::uint8_t code, AcceptFilter filter)
{
    m_parameters.setAcceptFilter(code, std::move(filter));
}

bool VirtualReader::takeRebootRequest()
{
    const bool requested = m_rebootRequested;
    m_rebootRequested = false;
    return requested;
}

void VirtualReader::requestReboot()
{
    m_rebootRequested = true;
    ++m_rebootCount;
    m_uhf->powerCycle();
}

void VirtualReader::restoreFactoryDefaults()
{
    m_parameters.restoreFactory(m_identity.model);
    for (const auto &module : m_modules)
        module->restoreFactoryDefaults();
}

FrameStream *VirtualReader::activeStream()
{
    for (const auto &module : m_modules)
        if (FrameStream *stream = module->stream(); stream && stream->streaming())
            return stream;
    return nullptr;
}

void VirtualReader::addModule(std::unique_ptr<ReaderModule> module)
{
    m_modules.push_back(std::move(module));
}

}  // namespace kv350::sim
