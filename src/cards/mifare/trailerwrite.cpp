#include "trailerwrite.h"

#include "cards/mifare/trailerguard.h"
#include "pages/controls.h"

namespace kv350::cards {

bool trailerWriteAllowed(PageContext &context, int sector, int block, const QByteArray &data16, QLabel *problem)
{
    const TrailerCheck check = checkTrailer(sector, block, data16);
    const TextLookup text = context.language.textLookup();
    if (check.verdict == TrailerCheck::Verdict::InvalidAccess) {
        widgets::showProblem(problem, trailerRefusal(check, text));
        context.reporter.ShowCommandError();
        return false;
    }
    widgets::showProblem(problem, {});
    return !check.permanent() || context.askFirst(trailerQuestion(check, text));
}

}  // namespace kv350::cards
