#include "common/datetime.h"
#include "morvenda/core/jobrec.h"
#include "tests/readers/fuzz/fuzz.h"
#include "tests/support/jobbuilder.h"

// Dates as the files hold them. The first byte of the input chooses the order
// of an all-numeric date, the rest is the text. A date that is read lies in
// the years the schedule file can hold; written again in each form the
// programs write (the schedule file's, the numeric one, the display masks with
// a time) it reads back as the same moment, in every order; and a job that
// started then is saved with it and read back unchanged.

namespace {

constexpr DateOrder kOrders[] = {DateOrder::DMY, DateOrder::MDY, DateOrder::YMD};

void CheckReadsBack(const DateVal& D, const QString& Mask) {
    const QString text = FormatDate(D, Mask);
    for (const DateOrder order : kOrders) {
        const std::optional<DateVal> again = ParseDate(text, order);
        Require(again == D, QStringLiteral("the date %1 is written with \"%2\" as \"%3\", which reads back as %4")
                                .arg(QString::number(D.seconds()), Mask, text,
                                     again ? QString::number(again->seconds()) : QStringLiteral("no date")));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0) return 0;
    const DateOrder order = kOrders[Data[0] % 3];
    const QString text = QString::fromUtf8(InputBytes(Data + 1, Size - 1));
    const std::optional<DateVal> d = ParseDate(text, order);
    if (!d) return 0;
    Require(StorableDate(*d), QStringLiteral("\"%1\" is read as a date outside the years 1 to 9999").arg(text));
    for (const char* mask : {"dd mmm yyyy hh:nn:ss", "yyyy-mm-dd hh:nn:ss", "d mmm yyyy h:nn AM/PM"}) {
        // The last mask holds no seconds.
        CheckReadsBack(QString::fromLatin1(mask).contains(QLatin1Char('s')) ? *d : d->addSeconds(-d->second()),
                       QString::fromLatin1(mask));
    }
    for (int display = 0; display < 3; ++display)
        CheckReadsBack(*d, DisplayDateMask(display, true) + QStringLiteral(" hh:nn:ss"));

    RequireSavable(JobBuilder(QStringLiteral("DATES"))
                       .group(QStringLiteral("General"))
                       .with([](JobRec& j) { j.LastDuration = 30; })
                       .ran(*d, *d)
                       .rec());
    return 0;
}
