#include "morvenda/core/pubhols.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "common/pubholfile.h"
#include "common/textfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

void CheckPubHolFile() {
    G.gPubHols.clear();
    const QString path = G.gPubHolsFile;
    if (path.trimmed().isEmpty()) return;  // no public holidays

    QStringList lines;
    if (!ReadTextLines(path, &lines)) {
        const QString msg = gPathMsgPrefix + path + QLatin1Char('"');
        MsgBox(msg, MsgButtons::Ok, MsgIcon::Critical);
        throw FatalStop(msg);
    }

    DateVal latest;
    for (const QString& line : lines) {
        const PublicHolidayLine entry = ReadPublicHolidayLine(line);
        if (entry.kind == PublicHolidayLine::Kind::Nothing) continue;
        if (entry.kind == PublicHolidayLine::Kind::BadDate)
            FatalClose(QStringLiteral("One or more invalid dates in Public Holidays File: ") + path);
        const DateVal day = entry.day;
        G.gPubHols.push_back(day);
        if (day > latest) latest = day;
    }

    const DateVal today = Now().datePart();
    if (latest < today) FatalClose(QStringLiteral("Public Holidays file (") + path + QStringLiteral(") has expired"));
    if (latest.dayNumber() - today.dayNumber() < 30)
        MsgBox(QStringLiteral("Warning - Public Holidays file will expire on ") + FormatDate(latest, G.gDateFmt),
               MsgButtons::Ok, MsgIcon::Warning);
}
