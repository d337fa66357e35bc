#include "ptyclient.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

// kv350-sim as a child process; stdout and stderr share one pipe.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), KV350_SIM_EXE);
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, KV350_SIM_EXE, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~SimProcess()
    {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
    }
    bool started() const { return m_pid > 0; }
    void signal(int sig) { kill(m_pid, sig); }

    QByteArray firstLine(int timeoutMs)
    {
        QByteArray line;
        pollfd pfd{m_out, POLLIN, 0};
        char c = 0;
        while (c != '\n' && ::poll(&pfd, 1, timeoutMs) > 0 && ::read(m_out, &c, 1) == 1)
            line.append(c);
        return line.trimmed();
    }
    // The exit code, -1 when killed by a signal; `output` gets what it printed.
    int wait(QByteArray *output = nullptr)
    {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(m_out, buffer, sizeof buffer)) > 0)
            if (output)
                output->append(buffer, int(n));
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_out = -1;
};

}  // namespace

TEST(SimExecutable, ServesTheGivenIdentityUntilSignalled)
{
    for (const int sig : {SIGTERM, SIGINT}) {
        SimProcess sim({"--model", "KV350-U1", "--serial", "99", "--version", "V2.3"});
        ASSERT_TRUE(sim.started());
        const QByteArray path = sim.firstLine(3000);
        ASSERT_TRUE(path.startsWith("/dev/")) << path.constData();
        PtyClient client(QString::fromLocal8Bit(path));
        ASSERT_TRUE(client.isOpen());
        client.send(hex("02 01 0E"));
        EXPECT_EQ(client.receiveAll(20, 1000), hex("02 12 0E 00") + QByteArray("KV350-U1    V2.3"));
        client.send(hex("02 01 0D"));
        EXPECT_EQ(client.receiveAll(12, 1000), hex("02 0A 0D 00 39 39 00 00 00 00 00 00"));
        client.send(hex("02 02 03 03"));  // the model's factory value
        EXPECT_EQ(client.receiveAll(8, 1000), hex("02 06 03 00 03 11 01 80"));
        sim.signal(sig);
        EXPECT_EQ(sim.wait(), 0) << sig;
    }
}

TEST(SimExecutable, PutsEpcTagsInTheUhfModulesField)
{
    SimProcess sim({"--model", "KV350-U1", "--card", "epc", "--card", "epc"});
    ASSERT_TRUE(sim.started());
    const QByteArray path = sim.firstLine(3000);
    ASSERT_TRUE(path.startsWith("/dev/")) << path.constData();
    PtyClient client(QString::fromLocal8Bit(path));
    ASSERT_TRUE(client.isOpen());
    client.send(hex("02 07 00") + "R1,2,4");
    EXPECT_EQ(client.receiveAll(21, 1000), hex("02 13 00 00") + "R300833B2DDD90140");
    client.send(hex("02 18 00") + "W1,2,4,0000000000000042");
    EXPECT_EQ(client.receiveAll(9, 1000), hex("02 07 00 00") + "W:OK\r");
    client.send(hex("02 07 00") + "R1,2,4");
    EXPECT_EQ(client.receiveAll(21, 1000), hex("02 13 00 00") + "R0000000000000042");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
}

TEST(SimExecutable, ServesThePlacedCard)
{
    // The last card of a technology is the one in the field.
    SimProcess sim({"--card", "mifare1k", "--card", "mifare4k"});
    ASSERT_TRUE(sim.started());
    const QByteArray path = sim.firstLine(3000);
    ASSERT_TRUE(path.startsWith("/dev/")) << path.constData();
    PtyClient client(QString::fromLocal8Bit(path));
    ASSERT_TRUE(client.isOpen());
    client.send(hex("02 01 11"));
    EXPECT_EQ(client.receiveAll(8, 1000), hex("02 06 11 00 11 22 33 44"));
    client.send(hex("02 0A 15 60 FF FF FF FF FF FF 27 0F"));  // sector 39: a 4K card
    EXPECT_EQ(client.receiveAll(20, 1000), hex("02 12 15 00 000000000000 FF078069 FFFFFFFFFFFF"));
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
}

TEST(SimExecutable, ServesAnNtagAndAnIso15693TagAtOnce)
{
    SimProcess sim({"--card", "ntag203", "--card", "iso15693"});
    ASSERT_TRUE(sim.started());
    const QByteArray path = sim.firstLine(3000);
    ASSERT_TRUE(path.startsWith("/dev/")) << path.constData();
    PtyClient client(QString::fromLocal8Bit(path));
    ASSERT_TRUE(client.isOpen());
    client.send(hex("02 01 11"));
    EXPECT_EQ(client.receiveAll(11, 1000), hex("02 09 11 00 04 A1 B2 C3 D4 E5 F6"));
    client.send(hex("02 04 13 00 00 02"));
    EXPECT_EQ(client.receiveAll(20, 1000), hex("02 12 13 00 04480000 E1101200 0103A010 440300FE"));
    client.send(hex("02 01 21"));
    EXPECT_EQ(client.receiveAll(14, 1000), hex("02 0C 21 00 00 00 D4 C3 B2 A1 00 01 04 E0"));
    client.send(hex("02 09 24 D4 C3 B2 A1 00 01 04 E0"));
    EXPECT_EQ(client.receiveAll(19, 1000), hex("02 11 24 00 00 0F D4 C3 B2 A1 00 01 04 E0 00 00 1B 03 01"));
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
}

struct ArgsRow {
    std::vector<std::string> args;
    int exitCode;
    const char *output;
};
// Names the row in test output instead of dumping its bytes.
inline void PrintTo(const ArgsRow &row, std::ostream *os)
{
    for (const auto &a : row.args)
        *os << a << ' ';
}

class SimExecutableArgs : public ::testing::TestWithParam<ArgsRow> {};

TEST_P(SimExecutableArgs, ExitAndSay)
{
    SimProcess sim(GetParam().args);
    ASSERT_TRUE(sim.started());
    QByteArray output;
    EXPECT_EQ(sim.wait(&output), GetParam().exitCode);
    EXPECT_TRUE(output.contains(GetParam().output)) << output.constData();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Refused, SimExecutableArgs,
    ::testing::Values(ArgsRow {{"--model", "KV350-XYZ"}, 2, "unknown model KV350-XYZ"},
                      ArgsRow {{"--model", "kv350-mic"}, 2, "known models: KV350-M1, KV350-U1"},
                      ArgsRow {{"--card", "mifare1k", "--card", "ntag999"},
                               2,
                               "unknown card kind ntag999; this build knows: mifare1k, mifare4k, ntag203, iso15693, epc"},
                      ArgsRow {{"--model", "KV350-MIC", "--card", "epc"}, 2, "needs a reader that reads UHF tags"},
                      ArgsRow {{"--serial", "123456789"}, 2, "at most 8"},
                      ArgsRow {{"--bogus"}, 2, "bogus"},
                      ArgsRow {{"--help"}, 0, "Usage: kv350-sim"},
                      // The kinds are listed before main() runs; "epc" was once still empty then.
                      ArgsRow {{"--help"}, 0, ", epc."}));
// clang-format on
