#include "morvenda/core/frequency.h"

#include "common/clock.h"
#include "morvenda/core/state.h"

QString DayKeywords(const DateVal&) { return QString(); }
bool IsRunDay(const QString&, const DateVal&) { return true; }
bool IsWeekday(const DateVal& D) { return D.weekday() >= 2 && D.weekday() <= 6; }
bool IsWorkday(const DateVal& D) { return IsWeekday(D); }
bool IsSkipDay(int) { return false; }
void SetStartTimes() { G.gRunDayStart = G.gRunDate.datePart().addSeconds(G.gDayStart.secondsOfDay()); }
DateVal ParseTimeField(const QString&) { return G.gRunDayStart; }
DateVal SchedNow() { return Now(); }
QString FrequencyDateItem(const DateVal& D) { return FormatDate(D, G.gDateFmtLong).replace(QLatin1Char(' '), QLatin1Char('-')); }
