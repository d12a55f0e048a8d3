#include "morvenda/core/frequency.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/text.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/state.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

// The weekday and working-day tests run once per day during date searches:
// they read the calendar G keeps.
using Calendar = FrequencyMemo::Calendar;

bool IsHoliday(const Calendar& c, const DateVal& D) {
    return std::binary_search(c.holidays.begin(), c.holidays.end(), D.dayNumber());
}
bool IsWeekday(const Calendar& c, const DateVal& D) {
    const int w = D.weekday();
    return w >= 2 && w <= 6 && !IsHoliday(c, D);
}
bool IsWorkday(const Calendar& c, const DateVal& D) {
    return c.workWeekday[static_cast<size_t>(D.weekday())] && !IsHoliday(c, D);
}

const Calendar& Cal() {
    Calendar& c = G.Frequency.calendar;
    if (c.built && c.srcHols == G.gPubHols && c.srcWorkdays == G.gWorkdays) return c;
    c.srcHols = G.gPubHols;
    c.srcWorkdays = G.gWorkdays;
    c.holidays.clear();
    c.holidays.reserve(c.srcHols.size());
    for (const DateVal& h : c.srcHols) c.holidays.push_back(h.dayNumber());
    std::sort(c.holidays.begin(), c.holidays.end());
    // "Mon,Tue,..." as the configuration holds it; blanks around a name and
    // its letter case are forgiven.
    c.workWeekday.fill(false);
    const QStringList names = c.srcWorkdays.split(QLatin1Char(','));
    for (int w = 1; w <= 7; ++w) {
        const QString abbr = DayName(w, true);
        for (const QString& n : names) {
            if (n.trimmed().compare(abbr, Qt::CaseInsensitive) == 0) {
                c.workWeekday[static_cast<size_t>(w)] = true;
                break;
            }
        }
    }
    c.built = true;
    ++c.generation;
    return c;
}

// The keywords of one date, kept while the date, the calendar and the date
// format stay the same: a load or a pass asks for the run date's keywords once
// per job.
QStringList KeywordsOf(const DateVal& Date) {
    FrequencyMemo::Keywords& m = G.Frequency.keywords;
    const std::uint64_t generation = Cal().generation;
    const qint64 day = Date.dayNumber();
    if (!m.valid || m.day != day || m.generation != generation || m.format != G.gDateFmtLong) {
        m.keys = DayKeywords(Date).split(QLatin1Char(','));
        m.day = day;
        m.generation = generation;
        m.format = G.gDateFmtLong;
        m.valid = true;
    }
    return m.keys;
}

QString Num(qint64 n) { return QString::number(n); }

// The order of day, month and year in the short display format, for reading
// numeric dates the way the operator's format writes them.
DateOrder DisplayDateOrder() {
    for (const QChar c : G.gDateFmt) {
        const QChar l = c.toLower();
        if (l == QLatin1Char('m')) return DateOrder::MDY;
        if (l == QLatin1Char('y')) return DateOrder::YMD;
        if (l == QLatin1Char('d')) return DateOrder::DMY;
    }
    return DateOrder::DMY;
}

// The most working days a month can hold (public holidays aside): four
// whole weeks and the best three days in a row of a 31-day month.
int MostWorkdaysInAMonth() {
    const Calendar& cal = Cal();
    int perWeek = 0;
    int bestThree = 0;
    for (int w = 1; w <= 7; ++w) {
        perWeek += cal.workWeekday[static_cast<size_t>(w)] ? 1 : 0;
        int three = 0;
        for (int k = 0; k < 3; ++k) three += cal.workWeekday[static_cast<size_t>((w - 1 + k) % 7 + 1)] ? 1 : 0;
        bestThree = std::max(bestThree, three);
    }
    return 4 * perWeek + bestThree;
}

}  // namespace

QString FrequencyDateItem(const DateVal& D) {
    QString s = FormatDate(D.datePart(), G.gDateFmtLong);
    s.replace(QLatin1Char(' '), QLatin1Char('-'));
    return s;
}

bool IsFrequencyItem(QStringView Item) {
    static const char* const plain[] = {"Daily",     "Weekdays",  "Weekends",  "Workdays",
                                        "Weekdays+", "Weekdays-", "Workdays+", "Workdays-"};
    for (const char* k : plain)
        if (Item.compare(QLatin1String(k), Qt::CaseInsensitive) == 0) return true;
    // Checked for every item of every job at load: the names are made once.
    static const std::array<QString, 9> suffixes = [] {
        std::array<QString, 9> s{QStringLiteral("CDOM"), QStringLiteral("WDOM")};
        for (int w = 1; w <= 7; ++w) s[static_cast<size_t>(w + 1)] = DayName(w, true);
        return s;
    }();
    for (size_t w = 2; w < suffixes.size(); ++w)
        if (Item.compare(suffixes[w], Qt::CaseInsensitive) == 0) return true;
    // A counted day: a sign, a number without leading zeros and a suffix,
    // the number one that some month reaches.
    if (Item.size() > 1 && (Item[0] == QLatin1Char('+') || Item[0] == QLatin1Char('-')) &&
        Item[1] != QLatin1Char('0')) {
        qsizetype digits = 1;
        while (digits < Item.size() && Item[digits] >= QLatin1Char('0') && Item[digits] <= QLatin1Char('9')) ++digits;
        if (digits > 1 && digits <= 3) {
            const int n = Item.mid(1, digits - 1).toInt();
            for (size_t k = 0; k < suffixes.size(); ++k) {
                if (Item.mid(digits).compare(suffixes[k], Qt::CaseInsensitive) != 0) continue;
                if (k == 0) return n <= 31;
                if (k == 1) return n <= MostWorkdaysInAMonth();
                return n <= 5;
            }
        }
    }
    // A date: it must read back as the very item the date gives.
    QString text = Item.toString();
    text.replace(QLatin1Char('-'), QLatin1Char(' '));
    const auto d = ParseDate(text, DisplayDateOrder());
    return d && FrequencyDateItem(*d).compare(Item, Qt::CaseInsensitive) == 0;
}

QString DayKeywords(const DateVal& Date) {
    const Calendar& cal = Cal();
    const DateVal D = Date.datePart();
    const int d = D.day();
    const DateVal first = DateVal::fromDate(D.year(), D.month(), 1);
    const int lastDay = DateVal::fromDate(D.year(), D.month() + 1, 0).day();

    QStringList k;
    k.reserve(16);
    k << QLatin1Char('-') + Num(lastDay - d + 1) + QStringLiteral("CDOM");
    k << QLatin1Char('+') + Num(d) + QStringLiteral("CDOM");

    if (IsWorkday(cal, D)) {
        // D is a working day itself, so counting the working days of the whole
        // month up to and from D is the same as counting from the month's
        // first and to its last working day.
        int upTo = 0;
        int from = 0;
        for (int day = 1; day <= lastDay; ++day) {
            if (!IsWorkday(cal, first.addDays(day - 1))) continue;
            if (day <= d) ++upTo;
            if (day >= d) ++from;
        }
        k << QLatin1Char('-') + Num(from) + QStringLiteral("WDOM");
        k << QLatin1Char('+') + Num(upTo) + QStringLiteral("WDOM");
    } else {
        // The two WDOM fields stay in place (empty), so the first six fields
        // are always the six codes.
        k << QString() << QString();
    }

    const QString ddd = DayName(D.weekday(), true);
    k << QLatin1Char('-') + Num((lastDay - d) / 7 + 1) + ddd;
    k << QLatin1Char('+') + Num((d - 1) / 7 + 1) + ddd;

    k << QStringLiteral("Daily") << ddd << FrequencyDateItem(D);

    const int w = D.weekday();
    k << (w >= 2 && w <= 6 ? QStringLiteral("Weekdays") : QStringLiteral("Weekends"));
    if (IsWorkday(cal, D)) k << QStringLiteral("Workdays");
    if (IsWeekday(cal, D.addDays(-1))) k << QStringLiteral("Weekdays+");
    if (IsWeekday(cal, D.addDays(1))) k << QStringLiteral("Weekdays-");
    if (IsWorkday(cal, D.addDays(-1))) k << QStringLiteral("Workdays+");
    if (IsWorkday(cal, D.addDays(1))) k << QStringLiteral("Workdays-");
    return k.join(QLatin1Char(','));
}

namespace {

bool MatchesKeywords(QStringView f, const QStringList& keys) {
    // Items are compared with whole keywords, so an item can never match part
    // of one keyword or span two. Items are separated by blanks (or other
    // white space); runs of them yield no empty items.
    qsizetype start = -1;
    for (qsizetype i = 0; i <= f.size(); ++i) {
        const bool space = i == f.size() || f[i].isSpace();
        if (space && start >= 0) {
            const QStringView item = f.mid(start, i - start);
            for (const QString& key : keys) {
                if (!key.isEmpty() && key.compare(item, Qt::CaseInsensitive) == 0) return true;
            }
            start = -1;
        } else if (!space && start < 0) {
            start = i;
        }
    }
    return false;
}

}  // namespace

bool IsRunDay(const QString& Frequency, const DateVal& RunDate) {
    const QStringView f = QStringView(Frequency).trimmed();
    if (f.isEmpty()) return true;
    const QStringList keys = KeywordsOf(RunDate);
    // Most jobs share their frequency text with others (a load shares equal
    // texts): the last answer is kept with copies of what it was made from,
    // and stands while both still share their data.
    FrequencyMemo::RunDay& memo = G.Frequency.runDay;
    if (memo.set && SameData(memo.frequency, Frequency) && SameData(memo.keys, keys)) return memo.answer;
    memo = FrequencyMemo::RunDay{Frequency, keys, MatchesKeywords(f, keys), true};
    return memo.answer;
}

bool IsWeekday(const DateVal& D) { return IsWeekday(Cal(), D); }

bool IsWorkday(const DateVal& D) { return IsWorkday(Cal(), D); }

bool IsSkipDay(int JobIndex) {
    if (JobIndex < 0 || JobIndex > JobCount()) return false;
    const QString skip = Job(JobIndex).SkipOn.trimmed();
    if (skip.isEmpty()) return false;
    if (const auto d = ParseDate(skip, DisplayDateOrder())) return d->sameDay(G.gRunDate);
    return skip == gSkipKeyword;
}

void SetStartTimes() {
    G.gRunDayStart = G.gRunDate.datePart().addSeconds(G.gDayStart.hour() * 3600 + G.gDayStart.minute() * 60);
    // A dummy run's present moment is the run date with the clock's time, a
    // day later for each midnight the clock passes, so its times never go
    // back and a run across midnight keeps its true duration. A dummy run
    // resumed for the same run date goes on from the latest time it kept.
    G.gDummyFromDay = Now().dayNumber();
    const std::int32_t rehearsal = RunDateTag(G.gRunDate, true);
    DateVal latest;
    for (int j = 1; j <= JobCount(); ++j) {
        JobRec& J = Job(j);
        J.ForceTrigger = false;
        J.EventIndex = -1;
        J.EarlyStart = J.EarlyStartText.trimmed().isEmpty() ? G.gRunDayStart : ParseTimeField(J.EarlyStartText);
        if (J.Spare34 == rehearsal) latest = std::max({latest, J.Started, J.Completed});
    }
    const DateVal shown = G.gRunDate.datePart().addSeconds(Now().secondsOfDay());
    if (latest > shown) G.gDummyFromDay -= (latest.seconds() - shown.seconds() + 86399) / 86400;
}

DateVal ParseTimeField(const QString& Text) {
    const QString t = Text.trimmed();
    std::optional<DateVal> at;
    if (!t.isEmpty()) {
        // Only the time of day is used, so a date part in any order will do.
        for (const DateOrder order : {DisplayDateOrder(), DateOrder::DMY, DateOrder::MDY, DateOrder::YMD}) {
            at = ParseDate(t, order);
            if (at) break;
        }
    }
    // An empty text, or one that holds no readable time (a hand-edited
    // file), starts the job with the run day.
    const DateVal time = at ? *at : G.gRunDayStart;
    return TimeOnRunDate(time.hour(), time.minute());
}

DateVal TimeOnRunDate(int Hour, int Minute) { return G.gRunDate.datePart().addSeconds(Hour * 3600 + Minute * 60); }

DateVal SchedNow() {
    const DateVal now = Now();
    if (G.gDummyRun) {
        const qint64 passed = G.gDummyFromDay != 0 ? now.dayNumber() - G.gDummyFromDay : 0;
        return G.gRunDate.datePart().addDays(passed).addSeconds(now.secondsOfDay());
    }
    return now;
}
