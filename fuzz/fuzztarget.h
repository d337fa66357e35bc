#pragma once
// What every fuzz target shares: its entry point, the check of a property, and a
// reader for the input bytes.
//
// A target is built twice: as a libFuzzer program (KV350_FUZZ), where its entry
// point is LLVMFuzzerTestOneInput and a broken property aborts; and into the
// regression test (KV350_FUZZ_REPLAY), where it registers under its name, a
// broken property throws, and the test replays fuzz/regressions/ and the seeds.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv350::fuzz {

using TargetFunction = int (*)(const std::uint8_t *data, std::size_t size);

// The replay test's table of targets.
bool registerTarget(const char *name, TargetFunction function);
TargetFunction findTarget(const std::string &name);
std::vector<std::string> targetNames();

// A property does not hold for this input.
[[noreturn]] void propertyFailed(const char *expression, const char *file, int line, const std::string &what);

// One-time set-up of a target (a Qt application object, the environment).
void ensureQtApplication();

// The input read front to back; past the end every read gives zeros or empty
// bytes, so a target never has to check the size itself.
class ByteReader {
public:
    ByteReader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_size - m_pos; }

    std::uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t u16()
    {
        const std::uint16_t lo = u8();
        return std::uint16_t(lo | u8() << 8);
    }
    bool flag() { return u8() & 1; }
    // Up to n bytes.
    QByteArray bytes(std::size_t n)
    {
        const std::size_t take = n < remaining() ? n : remaining();
        QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(take));
        m_pos += take;
        return out;
    }
    // A length byte, then that many bytes.
    QByteArray prefixed() { return bytes(u8()); }
    QByteArray rest() { return bytes(remaining()); }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

}  // namespace kv350::fuzz

#define KV350_FUZZ_CHECK(condition, what)                                                                              \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::kv350::fuzz::propertyFailed(#condition, __FILE__, __LINE__, (what));                                     \
    } while (false)

#ifdef KV350_FUZZ_REPLAY
#define KV350_FUZZ_TARGET(name)                                                                                        \
    static int name##FuzzOne(const std::uint8_t *, std::size_t);                                                       \
    [[maybe_unused]] static const bool name##FuzzRegistered = ::kv350::fuzz::registerTarget(#name, name##FuzzOne);     \
    static int name##FuzzOne
#else
#define KV350_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput
#endif
