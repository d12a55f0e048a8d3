#include "common/datetime.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr qint64 kDay = 86400;

// Days from 1970-01-01 of a proleptic Gregorian date (months and days already
// in range), after Howard Hinnant's civil-days algorithm.
constexpr qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

struct Civil {
    int y;
    int m;
    int d;
};

Civil CivilFromDays(qint64 z) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

// 30 Dec 1899 counted from 1970-01-01.
constexpr qint64 kEpochDays = DaysFromCivil(1899, 12, 30);

qint64 FloorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

const std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
const std::array<const char*, 7> kDays = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

int DaysInMonth(int y, int m) {
    static const std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return days[static_cast<size_t>(m - 1)];
}

}  // namespace

DateVal DateVal::fromDate(int year, int month, int day) {
    // Months roll over into years, then days are counted from the 1st.
    qint64 y = year;
    qint64 m0 = static_cast<qint64>(month) - 1;
    y += FloorDiv(m0, 12);
    m0 -= FloorDiv(m0, 12) * 12;
    const qint64 days = DaysFromCivil(y, static_cast<unsigned>(m0 + 1), 1) + (day - 1) - kEpochDays;
    return fromSeconds(days * kDay);
}

DateVal DateVal::fromDateTime(int year, int month, int day, int hour, int minute, int second) {
    return fromDate(year, month, day).addSeconds(static_cast<qint64>(hour) * 3600 + minute * 60 + second);
}

DateVal DateVal::fromQDateTime(const QDateTime& dt) {
    const QDateTime local = dt.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return fromDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

DateVal DateVal::currentLocal() { return fromQDateTime(QDateTime::currentDateTime()); }

qint64 DateVal::dayNumber() const { return FloorDiv(secs_, kDay); }

int DateVal::year() const { return CivilFromDays(dayNumber() + kEpochDays).y; }
int DateVal::month() const { return CivilFromDays(dayNumber() + kEpochDays).m; }
int DateVal::day() const { return CivilFromDays(dayNumber() + kEpochDays).d; }
int DateVal::secondsOfDay() const { return static_cast<int>(secs_ - dayNumber() * kDay); }
int DateVal::hour() const { return secondsOfDay() / 3600; }
int DateVal::minute() const { return secondsOfDay() / 60 % 60; }
int DateVal::second() const { return secondsOfDay() % 60; }

int DateVal::weekday() const {
    // 30 Dec 1899 was a Saturday (7).
    const qint64 w = (dayNumber() + 6) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w) + 1;
}

DateVal DateVal::datePart() const { return fromSeconds(dayNumber() * kDay); }

DateVal DateVal::addMonths(int months) const {
    return fromDate(year(), month() + months, day()).addSeconds(secondsOfDay());
}

QDateTime DateVal::toQDateTime() const {
    const Civil c = CivilFromDays(dayNumber() + kEpochDays);
    return QDateTime(QDate(c.y, c.m, c.d), QTime(hour(), minute(), second()));
}

QString MonthName(int month, bool abbreviated) {
    if (month < 1 || month > 12) return QString();
    const QString name = QString::fromLatin1(kMonths[static_cast<size_t>(month - 1)]);
    return abbreviated ? name.left(3) : name;
}

QString DayName(int weekday, bool abbreviated) {
    if (weekday < 1 || weekday > 7) return QString();
    const QString name = QString::fromLatin1(kDays[static_cast<size_t>(weekday - 1)]);
    return abbreviated ? name.left(3) : name;
}

namespace {

enum class Tok { Literal, Day, Month, Year, Hour, Minute, Second, Weekday, Quarter, AmPm };

struct Token {
    Tok kind;
    int count = 0;  // run length of the code letter
    QString text;   // literal text, or the AM/PM form as written
};

std::vector<Token> Tokenize(const QString& mask) {
    std::vector<Token> out;
    const qsizetype n = mask.size();
    auto lit = [&](const QString& s) {
        if (!out.empty() && out.back().kind == Tok::Literal)
            out.back().text += s;
        else
            out.push_back({Tok::Literal, 0, s});
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = mask[i];
        const QChar lc = c.toLower();
        if (c == QLatin1Char('"')) {
            const qsizetype close = mask.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            lit(mask.mid(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            if (i + 1 < n) lit(QString(mask[i + 1]));
            i += 2;
            continue;
        }
        if (mask.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            out.push_back({Tok::AmPm, 5, mask.mid(i, 5)});
            i += 5;
            continue;
        }
        if (mask.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            out.push_back({Tok::AmPm, 3, mask.mid(i, 3)});
            i += 3;
            continue;
        }
        Tok kind = Tok::Literal;
        if (lc == QLatin1Char('d'))
            kind = Tok::Day;
        else if (lc == QLatin1Char('m'))
            kind = Tok::Month;
        else if (lc == QLatin1Char('y'))
            kind = Tok::Year;
        else if (lc == QLatin1Char('h'))
            kind = Tok::Hour;
        else if (lc == QLatin1Char('n'))
            kind = Tok::Minute;
        else if (lc == QLatin1Char('s'))
            kind = Tok::Second;
        else if (lc == QLatin1Char('w'))
            kind = Tok::Weekday;
        else if (lc == QLatin1Char('q'))
            kind = Tok::Quarter;
        if (kind == Tok::Literal) {
            lit(QString(c));
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && mask[j].toLower() == lc) ++j;
        out.push_back({kind, static_cast<int>(j - i), QString()});
        i = j;
    }
    // "m"/"mm" right after an hour code (literals between) or right before a
    // seconds code means minutes.
    for (size_t k = 0; k < out.size(); ++k) {
        if (out[k].kind != Tok::Month || out[k].count > 2) continue;
        bool afterHour = false;
        for (size_t b = k; b-- > 0;) {
            if (out[b].kind == Tok::Literal) continue;
            afterHour = out[b].kind == Tok::Hour;
            break;
        }
        bool beforeSecond = false;
        for (size_t a = k + 1; a < out.size(); ++a) {
            if (out[a].kind == Tok::Literal) continue;
            beforeSecond = out[a].kind == Tok::Second;
            break;
        }
        if (afterHour || beforeSecond) out[k].kind = Tok::Minute;
    }
    return out;
}

QString Two(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

}  // namespace

namespace {

// The tokens of a mask. The masks in use are few (the run log's times, the
// date formats, the tracker stamps) and every line or file asks again: each
// is taken apart once. The tokens depend on the mask alone, so the memo is
// the function's own; the caller gets a share of them, which stays valid
// whatever masks are asked for after.
std::shared_ptr<const std::vector<Token>> TokensOf(const QString& mask) {
    struct Entry {
        QString mask;
        std::shared_ptr<const std::vector<Token>> tokens;
    };
    static std::array<Entry, 8> cache;
    static size_t next = 0;
    for (const Entry& e : cache)
        if (e.tokens && e.mask == mask) return e.tokens;
    Entry& e = cache[next++ % cache.size()];
    e = Entry{mask, std::make_shared<const std::vector<Token>>(Tokenize(mask))};
    return e.tokens;
}

}  // namespace

QString FormatDate(const DateVal& d, const QString& mask) {
    const std::shared_ptr<const std::vector<Token>> tokens = TokensOf(mask);
    const std::vector<Token>& toks = *tokens;
    bool twelve = false;
    for (const Token& t : toks) twelve = twelve || t.kind == Tok::AmPm;
    QString out;
    for (const Token& t : toks) {
        switch (t.kind) {
            case Tok::Literal:
                out += t.text;
                break;
            case Tok::Day:
                if (t.count == 1)
                    out += QString::number(d.day());
                else if (t.count == 2)
                    out += Two(d.day());
                else if (t.count == 3)
                    out += DayName(d.weekday(), true);
                else
                    out += DayName(d.weekday(), false);
                break;
            case Tok::Month:
                if (t.count == 1)
                    out += QString::number(d.month());
                else if (t.count == 2)
                    out += Two(d.month());
                else if (t.count == 3)
                    out += MonthName(d.month(), true);
                else
                    out += MonthName(d.month(), false);
                break;
            case Tok::Year:
                if (t.count == 1)
                    out += QString::number(d.dayNumber() - DateVal::fromDate(d.year(), 1, 1).dayNumber() + 1);
                else if (t.count <= 3)
                    out += Two(d.year() % 100);
                else
                    out += QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
                break;
            case Tok::Hour: {
                int h = d.hour();
                if (twelve) {
                    h %= 12;
                    if (h == 0) h = 12;
                }
                out += t.count == 1 ? QString::number(h) : Two(h);
                break;
            }
            case Tok::Minute:
                out += t.count == 1 ? QString::number(d.minute()) : Two(d.minute());
                break;
            case Tok::Second:
                out += t.count == 1 ? QString::number(d.second()) : Two(d.second());
                break;
            case Tok::Weekday:
                out += QString::number(d.weekday());
                break;
            case Tok::Quarter:
                out += QString::number((d.month() - 1) / 3 + 1);
                break;
            case Tok::AmPm: {
                const bool pm = d.hour() >= 12;
                if (t.count == 5) {
                    const bool lower = t.text[0].isLower();
                    QString s = pm ? QStringLiteral("PM") : QStringLiteral("AM");
                    out += lower ? s.toLower() : s;
                } else {
                    const bool lower = t.text[0].isLower();
                    QString s = pm ? QStringLiteral("P") : QStringLiteral("A");
                    out += lower ? s.toLower() : s;
                }
                break;
            }
        }
    }
    return out;
}

namespace {

struct PTok {
    enum Kind { Number, Word, Colon } kind;
    QString text;
    int value = 0;
};

// A month name or its abbreviation (at least three letters): 1..12, else 0.
int MonthFromWord(const QString& w) {
    if (w.compare(QLatin1String("Sept"), Qt::CaseInsensitive) == 0) return 9;
    if (w.size() < 3) return 0;
    for (int m = 1; m <= 12; ++m) {
        const QString name = MonthName(m, false);
        if (name.startsWith(w, Qt::CaseInsensitive)) return m;
    }
    return 0;
}

bool IsDayName(const QString& w) {
    for (int d = 1; d <= 7; ++d) {
        const QString name = DayName(d, false);
        if (w.size() >= 3 && name.startsWith(w, Qt::CaseInsensitive)) return true;
    }
    return false;
}

int FullYear(const QString& digits, int value) {
    if (digits.size() <= 2) return value < 30 ? 2000 + value : 1900 + value;
    return value;
}

// Splits into numbers, words and colons; blanks, commas, "/", "-" and "."
// separate the parts of a date.
std::optional<std::vector<PTok>> SplitDateText(const QString& t) {
    std::vector<PTok> toks;
    for (qsizetype i = 0; i < t.size();) {
        const QChar c = t[i];
        if (c.isDigit()) {
            qsizetype j = i;
            while (j < t.size() && t[j].isDigit()) ++j;
            const QString digits = t.mid(i, j - i);
            if (digits.size() > 4 && digits.size() != 8) return std::nullopt;
            toks.push_back({PTok::Number, digits, digits.size() > 9 ? 0 : digits.toInt()});
            i = j;
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < t.size() && t[j].isLetter()) ++j;
            toks.push_back({PTok::Word, t.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char(':')) {
            toks.push_back({PTok::Colon, QStringLiteral(":")});
            ++i;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char(',') || c == QLatin1Char('/') || c == QLatin1Char('-') ||
                   c == QLatin1Char('.') || c == QLatin1Char('\t')) {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return toks;
}

// A time of day read from a date's text.
struct ClockTime {
    int hour;
    int minute;
    int second;
};

// The time starting at toks[timeAt]: hours, minutes, perhaps seconds,
// perhaps AM/PM, and nothing after it.
std::optional<ClockTime> ReadTime(const std::vector<PTok>& toks, size_t timeAt) {
    int hour = 0, minute = 0, second = 0;
    std::vector<int> parts;
    size_t k = timeAt;
    while (k < toks.size() && toks[k].kind == PTok::Number) {
        if (toks[k].text.size() > 2) return std::nullopt;
        parts.push_back(toks[k].value);
        ++k;
        if (k < toks.size() && toks[k].kind == PTok::Colon)
            ++k;
        else
            break;
    }
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    hour = parts[0];
    minute = parts[1];
    second = parts.size() == 3 ? parts[2] : 0;
    if (k < toks.size() && toks[k].kind == PTok::Word) {
        const QString w = toks[k].text.toUpper();
        if (w != QLatin1String("AM") && w != QLatin1String("PM") && w != QLatin1String("A") && w != QLatin1String("P"))
            return std::nullopt;
        if (hour < 1 || hour > 12) return std::nullopt;
        const bool pm = w.startsWith(QLatin1Char('P'));
        hour = hour % 12 + (pm ? 12 : 0);
        ++k;
    }
    if (k != toks.size()) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return ClockTime{hour, minute, second};
}

// The year, month and day a date's parts give (the month already found
// when it is written as a word).
struct YearMonthDay {
    int year;
    int month;
    int day;
};

std::optional<YearMonthDay> DateOfParts(const std::vector<PTok>& parts, int month, DateOrder order) {
    int year = 0, day = 0;
    if (month) {
        if (parts.size() != 2) return std::nullopt;
        // The number with four digits (or above 31) is the year; otherwise the
        // day comes first.
        const PTok& a = parts[0];
        const PTok& b = parts[1];
        const bool aYear = a.text.size() >= 3 || a.value > 31;
        const bool bYear = b.text.size() >= 3 || b.value > 31;
        if (aYear && !bYear) {
            year = FullYear(a.text, a.value);
            day = b.value;
        } else if (!aYear) {
            day = a.value;
            year = FullYear(b.text, b.value);
        } else {
            return std::nullopt;
        }
    } else if (parts.size() == 1 && parts[0].text.size() == 8) {
        // yyyymmdd
        const QString& s = parts[0].text;
        year = s.left(4).toInt();
        month = s.mid(4, 2).toInt();
        day = s.mid(6, 2).toInt();
    } else if (parts.size() == 3) {
        const PTok& a = parts[0];
        const PTok& b = parts[1];
        const PTok& c = parts[2];
        if (a.text.size() == 4 || order == DateOrder::YMD) {
            year = FullYear(a.text, a.value);
            month = b.value;
            day = c.value;
        } else if (order == DateOrder::MDY) {
            month = a.value;
            day = b.value;
            year = FullYear(c.text, c.value);
        } else {
            day = a.value;
            month = b.value;
            year = FullYear(c.text, c.value);
        }
    } else {
        return std::nullopt;
    }
    return YearMonthDay{year, month, day};
}

}  // namespace

std::optional<DateVal> ParseDate(const QString& text, DateOrder order) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    const std::optional<std::vector<PTok>> split = SplitDateText(t);
    if (!split) return std::nullopt;
    const std::vector<PTok>& toks = *split;

    // The time: a number followed by ":" (the first one), with AM/PM after it.
    int hour = -1, minute = 0, second = 0;
    size_t timeAt = toks.size();
    for (size_t k = 0; k + 1 < toks.size(); ++k) {
        if (toks[k].kind == PTok::Number && toks[k + 1].kind == PTok::Colon) {
            timeAt = k;
            break;
        }
    }
    std::vector<PTok> dateToks(toks.begin(), toks.begin() + static_cast<std::ptrdiff_t>(timeAt));
    if (timeAt < toks.size()) {
        const std::optional<ClockTime> time = ReadTime(toks, timeAt);
        if (!time) return std::nullopt;
        hour = time->hour;
        minute = time->minute;
        second = time->second;
    }

    // Day names ("Tue 08 Dec 2026") carry nothing.
    std::vector<PTok> parts;
    int month = 0;
    for (const PTok& p : dateToks) {
        if (p.kind == PTok::Word) {
            const int m = MonthFromWord(p.text);
            if (m && !month) {
                month = m;
                continue;
            }
            if (IsDayName(p.text)) continue;
            return std::nullopt;
        }
        parts.push_back(p);
    }

    if (dateToks.empty()) {
        if (hour < 0) return std::nullopt;
        return DateVal::fromSeconds(static_cast<qint64>(hour) * 3600 + minute * 60 + second);
    }
    const std::optional<YearMonthDay> date = DateOfParts(parts, month, order);
    if (!date) return std::nullopt;
    const int year = date->year;
    month = date->month;
    const int day = date->day;
    // A year below 100 comes only from three or four digits ("0050"): it is
    // what the writers make of such a year, so it reads back.
    if (month < 1 || month > 12 || day < 1 || year < 1 || year > 9999 || day > DaysInMonth(year, month))
        return std::nullopt;
    DateVal d = DateVal::fromDate(year, month, day);
    if (hour >= 0) d = d.addSeconds(static_cast<qint64>(hour) * 3600 + minute * 60 + second);
    return d;
}

const QTimeZone& UtcZone() {
    static const QTimeZone utc = QTimeZone::utc();
    return utc;
}

QString DisplayDateMask(int Order, bool TwoDigitDay) {
    switch (Order) {
        case 0:
            return TwoDigitDay ? QStringLiteral("dd mmm yyyy") : QStringLiteral("d mmm yyyy");
        case 1:
            return TwoDigitDay ? QStringLiteral("mmm dd yyyy") : QStringLiteral("mmm d yyyy");
        case 2:
            return QStringLiteral("yyyy mmm dd");
        default:
            return QString();
    }
}
