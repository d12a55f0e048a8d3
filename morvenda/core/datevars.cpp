#include "morvenda/core/datevars.h"

#include "common/constants.h"
#include "morvenda/core/state.h"

SubstResult SubstDateVars(const QString& Text, const std::array<QString, 7>&, const QString&) {
    return {true, Text.trimmed(), QString()};
}

std::optional<DateVal> RelativeDay(const DateVal&, const QString&, const QString&, QString*) { return G.gRunDate; }

void DefaultDateVars(int JobIndex) {
    if (JobIndex < 0 || JobIndex > JobCount())
        return;
    JobRec& J = G.Jobs[static_cast<size_t>(JobIndex)];
    if (J.DateVars[0].isEmpty())
        J.DateVars = gDefDateVars;
}

QString RelDayInput(const QString& Code) { return Code; }
