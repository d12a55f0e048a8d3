#include "common/fatal.h"
#include "common/pubholfile.h"
#include "common/textfile.h"
#include "morvenda/core/pubhols.h"
#include "morvenda/core/state.h"
#include "tests/readers/fuzz/fuzz.h"

// The public holidays file. The start-up check accepts or refuses it without
// changing it; what it accepts are days (midnight) the schedule can hold, one
// for each line read as a holiday. Every holiday line, written again as the
// configuration editor writes it (the day in each of the date display masks,
// and the description), reads back as the same day with the same description.

namespace {

void CheckWrittenAgain(const PublicHolidayLine& Read, const QString& DateText) {
    const PublicHolidayLine again = ReadPublicHolidayLine(PublicHolidayLineText(DateText, Read.description));
    Require(again.kind == PublicHolidayLine::Kind::Holiday && again.day == Read.day &&
                again.description == Read.description,
            QStringLiteral("the holiday \"%1\" (%2) is written as \"%3\", which reads back as %4 (%5)")
                .arg(DateText, Read.description, PublicHolidayLineText(DateText, Read.description),
                     FormatDate(again.day, QStringLiteral("dd mmm yyyy")), again.description));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    InputFolder folder(QStringLiteral("pubhols"));
    FreshScheduler();
    G.gPubHolsFile = folder.put(QStringLiteral("fuzz.phf"), InputBytes(Data, Size));

    QStringList lines;
    Require(ReadTextLines(G.gPubHolsFile, &lines), "the file just written cannot be read");
    std::vector<DateVal> holidays;
    for (const QString& line : lines) {
        const PublicHolidayLine read = ReadPublicHolidayLine(line);
        if (read.kind != PublicHolidayLine::Kind::Holiday) continue;
        holidays.push_back(read.day);
        Require(read.day == read.day.datePart() && StorableDate(read.day),
                QStringLiteral("\"%1\" is read as a day the schedule cannot hold").arg(line));
        for (int order = 0; order < 3; ++order)
            for (const bool twoDigitDay : {false, true})
                CheckWrittenAgain(read, FormatDate(read.day, DisplayDateMask(order, twoDigitDay)));
    }

    try {
        CheckPubHolFile();
        Require(G.gPubHols == holidays, "the start-up check holds other days than the file's holiday lines");
    } catch (const FatalStop&) {
        // An expired file, or one with a line that is not a date.
    }
    folder.requireUnchanged("reading the public holidays file changed its folder");
    return 0;
}
