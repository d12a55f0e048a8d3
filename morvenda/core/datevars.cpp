#include "morvenda/core/datevars.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"

#include <QStringList>

#include <algorithm>

namespace {

// No relative day lies further than this from the run date (about ten years).
// A frequency that never selects a date again, or a calendar without working
// days, would otherwise keep a search going for ever.
constexpr qint64 kMaxSearchDays = 3660;

// Relative months beyond a thousand years are no date anyone means; the bound
// keeps the month arithmetic far from overflow.
constexpr qint64 kMaxRelMonths = 12000;

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

QString Quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

QString TooFar(const QString& code) {
    return QStringLiteral("No date for the relative day ") + Quoted(code) + QStringLiteral(" within ") +
           QString::number(kMaxSearchDays) + QStringLiteral(" days of the run date");
}

std::optional<DateVal> Fail(QString* error, const QString& why) {
    if (error) *error = why;
    return std::nullopt;
}

// The decimal number that starts at pos (no digits read as 0).
qint64 NumberAfter(const QString& code, qsizetype pos) {
    qint64 n = 0;
    for (qsizetype i = pos; i < code.size() && IsDigit(code[i]); ++i) {
        n = n * 10 + (code[i].unicode() - '0');
        if (n > kMaxSearchDays) return kMaxSearchDays + 1;  // no need to read further: it is too far anyway
    }
    return n;
}

}  // namespace

std::optional<DateVal> RelativeDay(const DateVal& Base, const QString& Frequency, const QString& RelDay,
                                   QString* error) {
    const QString code = RelDay.trimmed();
    const QString upper = code.toUpper();
    DateVal D = G.gRunDate.datePart();

    if (upper.endsWith(QLatin1String("DOM"))) {
        // The day of the target month whose keyword list holds the code.
        const DateVal first = Base.datePart();
        const int month = first.month();
        for (DateVal day = first; day.month() == month; day = day.addDays(1)) {
            const QStringList keys = DayKeywords(day).split(QLatin1Char(','));
            for (const QString& k : keys) {
                if (!k.isEmpty() && k.compare(code, Qt::CaseInsensitive) == 0) return day;
            }
        }
        return Fail(error, QStringLiteral("Invalid relative day number: (") + Quoted(code) +
                               QStringLiteral(") requested in ") + FormatDate(first, QStringLiteral("mmm yyyy")));
    }

    const qsizetype p = upper.indexOf(QLatin1String("RUND"));
    if (p < 0) return D;

    if (p > 0) {
        // "+nRUND" / "-nRUND": the n-th date the job's frequency selects.
        // Clamped: a count past the search bound fails anyway.
        const qint64 n = std::clamp<qint64>(Val(code), -kMaxSearchDays - 1, kMaxSearchDays + 1);
        const qint64 step = n < 0 ? -1 : 1;
        const qint64 count = n < 0 ? -n : n;
        qint64 moved = 0;
        for (qint64 i = 0; i < count; ++i) {
            do {
                D = D.addDays(step);
                if (++moved > kMaxSearchDays) return Fail(error, TooFar(code));
            } while (!IsRunDay(Frequency, D));
        }
        return D;
    }

    // "RUND+nWD", "RUND-nCD", ...: counted in working or calendar days.
    const qsizetype plus = upper.indexOf(QLatin1Char('+'));
    const qsizetype minus = upper.indexOf(QLatin1Char('-'));
    qsizetype sign = plus < 0 ? minus : (minus < 0 ? plus : std::min(plus, minus));
    if (sign < 0) return D;
    const qint64 step = upper[sign] == QLatin1Char('-') ? -1 : 1;
    const qint64 n = NumberAfter(upper, sign + 1);
    if (n > kMaxSearchDays) return Fail(error, TooFar(code));
    if (upper.endsWith(QLatin1String("CD"))) return D.addDays(step * n);
    qint64 counted = 0;
    qint64 moved = 0;
    while (counted < n) {
        D = D.addDays(step);
        if (++moved > kMaxSearchDays) return Fail(error, TooFar(code));
        if (IsWorkday(D)) ++counted;
    }
    return D;
}

SubstResult SubstDateVars(const QString& Text, const std::array<QString, 7>& DateVars, const QString& Frequency) {
    const QChar quote = QLatin1Char('"');
    const QChar comma = QLatin1Char(',');
    QString W = QLatin1Char(' ') + Text;
    QString frequency = Frequency;
    bool warned = false;

    for (const QString& def : DateVars) {
        const QString relDay = GetLineField(def, 2, quote, comma).trimmed();
        const QString name = GetLineField(def, 1, quote, comma).trimmed();
        // A definition without a name holds no variable: "&&" in a command
        // line is the shell's, not ours.
        if (relDay.isEmpty() || name.isEmpty()) continue;
        const QString token = QLatin1Char('&') + name + QLatin1Char('&');
        const qint64 relMonth =
            std::clamp<qint64>(Val(GetLineField(def, 3, quote, comma)), -kMaxRelMonths, kMaxRelMonths);
        const QString format = GetLineField(def, 4, quote, comma);

        qsizetype p = W.indexOf(token, 0, Qt::CaseInsensitive);
        while (p >= 0) {
            if (!warned && relDay.contains(QLatin1String("RUND"), Qt::CaseInsensitive) &&
                frequency.trimmed().isEmpty()) {
                MsgBox(
                    QStringLiteral("The job does not have a run frequency and one is required for evaluation \n"
                                   "of one or more computed RunDate variables (+nRUND or -nRUND).\n"
                                   "\"Weekdays\" assumed."));
                frequency = QStringLiteral("WeekDays");
                warned = true;
            }
            const DateVal runMonth = DateVal::fromDate(G.gRunDate.year(), G.gRunDate.month(), 1);
            const DateVal base = DateVal::fromDate(runMonth.year(), runMonth.month() + static_cast<int>(relMonth), 1);
            QString why;
            const std::optional<DateVal> D = RelativeDay(base, frequency, relDay, &why);
            if (!D) return {false, Text.trimmed(), why};
            const QString value = FormatDate(D->datePart().addSeconds(Now().secondsOfDay()), format);
            W = W.left(p) + value + W.mid(p + token.size());
            // Go on after the value, so a value that holds the token itself is
            // never substituted again.
            p = W.indexOf(token, p + value.size(), Qt::CaseInsensitive);
        }
    }
    return {true, W.trimmed(), QString()};
}

void DefaultDateVars(int JobIndex) {
    if (JobIndex < 0 || JobIndex > JobCount()) return;
    DefaultDateVars(Job(JobIndex));
}

void DefaultDateVars(JobRec& J) {
    if (!QStringView(J.DateVars[0]).trimmed().isEmpty()) return;
    // A job whose first slot is empty may still hold variables of its own in
    // the others (a hand-edited file): those stay, and only the empty slots
    // take their defaults. A default whose name the job already uses is left
    // out, as it would come first and hide the job's own.
    const QChar quote = QLatin1Char('"');
    const QChar comma = QLatin1Char(',');
    auto nameOf = [&](const QString& def) { return GetLineField(def, 1, quote, comma).trimmed(); };
    QStringList names;
    for (const QString& def : J.DateVars)
        if (!QStringView(def).trimmed().isEmpty()) names << nameOf(def);
    for (size_t k = 0; k < J.DateVars.size(); ++k) {
        if (!QStringView(J.DateVars[k]).trimmed().isEmpty()) continue;
        if (names.contains(nameOf(gDefDateVars[k]), Qt::CaseInsensitive)) continue;
        J.DateVars[k] = gDefDateVars[k];
    }
}

QString RelDayInput(const QString& Code) {
    qsizetype at = Code.indexOf(QLatin1String("+n"), 0, Qt::CaseInsensitive);
    if (at < 0) at = Code.indexOf(QLatin1String("-n"), 0, Qt::CaseInsensitive);
    if (at < 0) return Code;

    const QString trimmed = Code.trimmed();
    qint64 most = -1;  // no upper bound
    if (trimmed.endsWith(QLatin1String("ddd"), Qt::CaseInsensitive))
        most = 5;
    else if (trimmed.endsWith(QLatin1String("CDOM"), Qt::CaseInsensitive))
        most = 31;
    else if (trimmed.endsWith(QLatin1String("WDOM"), Qt::CaseInsensitive))
        most = 23;

    for (;;) {
        const QString answer =
            prompter()
                .input(QStringLiteral("Please enter a value for n"), QStringLiteral("Relative Day Input"))
                .trimmed();
        if (answer.isEmpty()) return QString();
        // Plain digits only; the number is written back without leading
        // zeros, the form in which day keywords hold their numbers.
        const bool digits = std::all_of(answer.begin(), answer.end(), IsDigit);
        bool ok = false;
        const qint64 n = digits ? answer.toLongLong(&ok) : 0;
        if (!ok || n < 1 || (most > 0 && n > most)) continue;
        QString result = Code;
        result.replace(at + 1, 1, QString::number(n));
        return result;
    }
}
