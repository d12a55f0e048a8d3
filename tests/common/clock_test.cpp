#include "common/clock.h"

#include "tests/support/testing.h"

#include <gtest/gtest.h>

namespace {

// The clock keeps the span of its zone's offsets between calls: moments
// visited out of order around both 2026 changes, in two zones in turn (the
// span of one must never answer for the other), agree with the zone's own
// answer, and a wall-clock value converts back to the moment it came from.
TEST(ClockOffsets, KeptSpansAgreeWithTheZoneAcrossChangesAndZones) {
    FakeClock clock;
    const QTimeZone london("Europe/London");
    const QTimeZone newYork("America/New_York");
    ASSERT_TRUE(london.isValid() && newYork.isValid());
    const qint64 spring = QDateTime(QDate(2026, 3, 29), QTime(1, 0), QTimeZone::utc()).toSecsSinceEpoch();
    const qint64 autumn = QDateTime(QDate(2026, 10, 25), QTime(1, 0), QTimeZone::utc()).toSecsSinceEpoch();
    for (const QTimeZone& zone : {london, newYork, london}) {
        clock.setZone(zone);
        for (const qint64 change : {spring, autumn, spring}) {
            for (const qint64 delta : {-86400LL * 200, -1LL, 0LL, 1LL, -3600LL, 3599LL, 86400LL * 200, -2LL}) {
                const qint64 real = change + delta;
                const QDateTime expected = QDateTime::fromSecsSinceEpoch(real, zone);
                const DateVal wall = WallOf(real, clock.zone());
                EXPECT_EQ(wall, DateVal::fromDateTime(expected.date().year(), expected.date().month(),
                                                      expected.date().day(), expected.time().hour(),
                                                      expected.time().minute(), expected.time().second()))
                    << zone.id().constData() << " " << real;
                const RealSpan back = RealOf(wall, clock.zone());
                EXPECT_TRUE(back.first == real || back.last == real) << zone.id().constData() << " " << real;
                EXPECT_EQ(FirstReal(wall), back.first);
            }
        }
    }
    // London's skipped hour comes at the change; its repeated hour reads
    // first as summer time.
    clock.setZone(london);
    EXPECT_EQ(FirstReal(DateVal::fromDateTime(2026, 3, 29, 1, 30, 0)), spring);
    EXPECT_EQ(FirstReal(DateVal::fromDateTime(2026, 10, 25, 1, 30, 0)), autumn - 1800);
    EXPECT_EQ(PastReal(DateVal::fromDateTime(2026, 10, 25, 1, 30, 0), autumn + 3600), autumn + 1800);
}

}  // namespace
