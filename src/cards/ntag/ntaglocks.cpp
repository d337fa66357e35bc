#include "ntaglocks.h"

#include <QStringList>
#include <algorithm>

namespace kv350::cards {
namespace {

constexpr int PageSize = 4;
constexpr int WritePages = 4;  // a reader write covers four pages

// Where the bytes that count sit in each page.
struct Counted {
    int first, count;
};
Counted counted(int page)
{
    switch (page) {
    case StaticLockPage:
        return {2, 2};
    case DynamicLockPage:
        return {0, 2};
    default:
        return {0, PageSize};  // the capability container, whole
    }
}

// The pages each lock bit makes read-only, by page and byte of the lock
// bytes; the block-locking bits (which freeze lock bits) lock no page.
std::vector<int> pagesLockedBy(int page, int byte, int bit)
{
    auto run = [](int first, int count) {
        std::vector<int> pages(count);
        for (int i = 0; i < count; ++i)
            pages[i] = first + i;
        return pages;
    };
    if (page == StaticLockPage && byte == 2 && bit == 3)
        return {CapabilityPage};
    if (page == StaticLockPage && byte == 2 && bit >= 4)
        return {bit};  // pages 4-7
    if (page == StaticLockPage && byte == 3)
        return {8 + bit};  // pages 8-15
    if (page == DynamicLockPage && byte == 0 && bit != 0 && bit != 4)
        return run(16 + 4 * (bit < 4 ? bit - 1 : bit - 2), 4);  // 16-19 … 36-39
    return {};
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// "4-7, 10, 16-19"
QString pageRanges(const std::vector<int> &pages)
{
    QStringList parts;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1)
            ++j;
        parts << (i == j ? QString::number(pages[i]) : QStringLiteral("%1-%2").arg(pages[i]).arg(pages[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace

std::vector<int> oneTimePages(int firstPage)
{
    std::vector<int> pages;
    for (int page : {StaticLockPage, CapabilityPage, DynamicLockPage})
        if (page >= firstPage && page < firstPage + WritePages)
            pages.push_back(page);
    return pages;
}

int readPageFor(int oneTimePage)
{
    // One read of pages 2-5 shows both the static lock bytes and the capability container.
    return oneTimePage == DynamicLockPage ? DynamicLockPage : StaticLockPage;
}

std::vector<PermanentChange> permanentChanges(int firstPage, const QByteArray &data16,
                                              const std::function<QByteArray(int page)> &current)
{
    std::vector<PermanentChange> changes;
    for (int page : oneTimePages(firstPage)) {
        const Counted c = counted(page);
        const QByteArray now = current(page).leftJustified(PageSize, '\0', true);
        const QByteArray written = data16.mid((page - firstPage) * PageSize, PageSize).leftJustified(PageSize, '\0');
        PermanentChange change{page, now.mid(c.first, c.count), now.mid(c.first, c.count), {}};
        for (int i = 0; i < c.count; ++i) {
            const auto before = std::uint8_t(now.at(c.first + i));
            const auto after = std::uint8_t(before | std::uint8_t(written.at(c.first + i)));
            change.after[i] = char(after);
            for (int bit = 0; bit < 8; ++bit)
                if ((after & ~before) & (1u << bit))
                    for (int locked : pagesLockedBy(page, c.first + i, bit))
                        change.lockedPages.push_back(locked);
        }
        std::sort(change.lockedPages.begin(), change.lockedPages.end());
        if (change.after != change.before)
            changes.push_back(change);
    }
    return changes;
}

std::optional<std::vector<PermanentChange>> permanentChangesOnTag(int firstPage, const QByteArray &data16,
                                                                  const TagRead &read16)
{
    std::map<int, QByteArray> held;  // what a read from each page showed
    for (int page : oneTimePages(firstPage)) {
        const int from = readPageFor(page);
        if (held.count(from))
            continue;
        const std::optional<QByteArray> bytes = read16(from);
        if (!bytes)
            return std::nullopt;
        held[from] = *bytes;
    }
    return permanentChanges(firstPage, data16, [&](int page) {
        const int from = readPageFor(page);
        return held[from].mid((page - from) * PageSize, PageSize);
    });
}

QString permanentQuestion(const std::vector<PermanentChange> &changes, const TextLookup &text)
{
    QStringList lines;
    std::vector<int> locked;
    for (const PermanentChange &c : changes) {
        const char *what =
            c.page == CapabilityPage
                ? "Page %1: the capability container changes from %2 to %3; it is one-time programmable and can "
                  "never be changed back."
                : "Page %1: the lock bytes change from %2 to %3; a lock bit can never be cleared again.";
        lines << text(QLatin1String(what)).arg(c.page).arg(hexBytes(c.before), hexBytes(c.after));
        locked.insert(locked.end(), c.lockedPages.begin(), c.lockedPages.end());
    }
    std::sort(locked.begin(), locked.end());
    if (locked.size() == 1)
        lines << text(QStringLiteral("Page %1 can never be written again.")).arg(locked.front());
    else if (!locked.empty())
        lines << text(QStringLiteral("Pages %1 can never be written again.")).arg(pageRanges(locked));
    lines << QString() << text(QStringLiteral("Write it?"));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace kv350::cards
