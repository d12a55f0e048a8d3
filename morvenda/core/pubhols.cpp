#include "morvenda/core/pubhols.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

void CheckPubHolFile() {
    G.gPubHols.clear();
    const QString path = G.gPubHolsFile;
    if (path.trimmed().isEmpty())
        return;  // no public holidays

    QStringList lines;
    if (!ReadTextLines(path, &lines)) {
        const QString msg = gPathMsgPrefix + path + QLatin1Char('"');
        MsgBox(msg, MsgButtons::Ok, MsgIcon::Critical);
        throw FatalStop(msg);
    }

    DateVal latest;
    for (const QString& line : lines) {
        const QString field = GetLineField(line, 1, QLatin1Char('"'), QLatin1Char(',')).trimmed();
        if (field.isEmpty() || field.startsWith(QLatin1Char(';')))
            continue;
        const std::optional<DateVal> d = ParseDate(field);
        if (!d)
            FatalClose(QStringLiteral("One or more invalid dates in Public Holidays File: ") + path);
        // A holiday is a whole day, whatever time the text may carry.
        const DateVal day = d->datePart();
        G.gPubHols.push_back(day);
        if (day > latest)
            latest = day;
    }

    const DateVal today = Now().datePart();
    if (latest < today)
        FatalClose(QStringLiteral("Public Holidays file (") + path + QStringLiteral(") has expired"));
    if (latest.dayNumber() - today.dayNumber() < 30)
        MsgBox(QStringLiteral("Warning - Public Holidays file will expire on ") + FormatDate(latest, G.gDateFmt),
               MsgButtons::Ok, MsgIcon::Warning);
}
