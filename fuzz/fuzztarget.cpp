#include "fuzztarget.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

namespace kv350::fuzz {
namespace {

std::map<std::string, TargetFunction> &targets()
{
    static std::map<std::string, TargetFunction> table;
    return table;
}

}  // namespace

bool registerTarget(const char *name, TargetFunction function)
{
    targets()[name] = function;
    return true;
}

TargetFunction findTarget(const std::string &name)
{
    const auto it = targets().find(name);
    return it == targets().end() ? nullptr : it->second;
}

std::vector<std::string> targetNames()
{
    std::vector<std::string> names;
    for (const auto &entry : targets())
        names.push_back(entry.first);
    return names;
}

void propertyFailed(const char *expression, const char *file, int line, const std::string &what)
{
    const std::string message = std::string(file) + ":" + std::to_string(line) + ": property broken: " + expression +
                                " (" + what + ")";
#ifdef KV350_FUZZ_REPLAY
    throw std::runtime_error(message);
#else
    // libFuzzer takes the abort as a crash and keeps the input.
    std::fprintf(stderr, "%s\n", message.c_str());
    std::abort();
#endif
}

void ensureQtApplication()
{
    if (QCoreApplication::instance())
        return;
    // Widgets (the hex boxes) need an application; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kv350-fuzz";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the fuzzer ends the process from inside its loop.
    static QApplication *application = new QApplication(argc, argv);
    Q_UNUSED(application);
}

}  // namespace kv350::fuzz
