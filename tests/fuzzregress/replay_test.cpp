// The fuzz targets without the fuzzer: every input under fuzz/regressions/<name>/
// (a finding, kept once fixed) and fuzz/corpus/<name>/ (the seeds) must hold
// the target's properties.
#include "fuzztarget.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kv350::fuzz;

namespace {

QStringList inputsOf(const QString &kind, const std::string &target)
{
    QDir dir(QStringLiteral(KV350_FUZZ_DIR "/%1/%2").arg(kind, QString::fromStdString(target)));
    QStringList files;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

void replay(const std::string &target, const QStringList &files)
{
    const TargetFunction run = findTarget(target);
    ASSERT_NE(run, nullptr);
    for (const QString &path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray input = file.readAll();
        try {
            run(reinterpret_cast<const std::uint8_t *>(input.constData()), std::size_t(input.size()));
        } catch (const std::exception &e) {
            ADD_FAILURE() << path.toStdString() << ": " << e.what();
        }
    }
}

class Replay : public testing::TestWithParam<std::string> {};

TEST_P(Replay, FindingsStayFixed)
{
    replay(GetParam(), inputsOf(QStringLiteral("regressions"), GetParam()));
}

TEST_P(Replay, SeedsHoldTheProperties)
{
    const QStringList seeds = inputsOf(QStringLiteral("corpus"), GetParam());
    EXPECT_GE(seeds.size(), 3) << "a target needs seeds in fuzz/corpus/" << GetParam();
    replay(GetParam(), seeds);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, testing::ValuesIn(targetNames()),
                         [](const testing::TestParamInfo<std::string> &info) { return info.param; });

TEST(Replay, EveryInputFolderNamesATarget)
{
    for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
        const QDir dir(QStringLiteral(KV350_FUZZ_DIR "/") + kind);
        for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            EXPECT_NE(findTarget(name.toStdString()), nullptr) << kind.toStdString() << "/" << name.toStdString();
    }
}

}  // namespace
