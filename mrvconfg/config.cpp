#include "mrvconfg/config.h"

#include <QFileInfo>

#include "common/checks.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/getfield.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"

namespace confg {

ConfgGlobals gConfg;

namespace {

const QChar kQuote = QLatin1Char('"');

// The tab's table: control, label, key, browse filter, extension, whether the
// file must exist, and whether the scheduler reports the key when missing.
const std::array<PathKeyInfo, kPathKeyCount> kPathKeys = {{
    {"txtScheduleFile", "Schedule File", "Schedulefile", "Schedule", ".sch", true, false},
    {"txtLogFile", "Log File", "LogFile", "Log", ".log", false, true},
    {"txtPubHols", "Public Holidays File", "PubHols", "Public Holidays", ".phf", true, true},
    {"txtMsgAddrPath", "Email Address Folder", "EmailAddrPath", "Email Address", "", false, true},
    {"txtMsgPath", "Email Folder", "EmailPath", "Email", "", false, true},
    {"txtMsgAttPath", "Attached Files Folder", "EmailAttPath", "Email Attachments", "", false, true},
    {"txtJobDocPath", "Job Docn. Folder", "JobDocPath", "JobDoc", "", false, true},
    {"txtTrackerPath", "Tracker Folder", "TrackerPath", "Tracker", "", false, true},
    {"txtTriggerPath", "Trigger Folder", "TriggerPath", "Trigger", "", false, true},
    {"txtDummyProg", "Dummy Program", "DummyProg", "EXE", ".exe", true, false},
    {"txtHelpPath", "Help Files Folder", "HelpPath", "Help", "", false, false},
}};

QString Key(const char* name) { return QLatin1String(name); }

QString Get(const IniDocument& doc, const QString& key) { return doc.value(gAppName, key).value_or(QString()); }

void Put(IniDocument& doc, const QString& key, const QString& value) { doc.setValue(gAppName, key, value); }

// On as the scheduler's start-up reads the flag: the first letter is "Y" in
// either case ("Yes" too), so a save never turns a hand-written value off.
bool YesFlag(const QString& value) { return value.trimmed().left(1).toUpper() == QLatin1String("Y"); }

QString Flag(bool on) { return on ? QStringLiteral("Y") : QStringLiteral("N"); }

// Whole seconds, blanks around them allowed: the scheduler rounds a
// fraction, so "2.6" would not be the interval the box shows.
bool IsWholeSeconds(const QString& text) {
    bool whole = false;
    const int seconds = text.trimmed().toInt(&whole);
    return whole && seconds >= 0;
}

// The list position of a "DateDisplayFormat" value: the scheduler's own rule
// (a run of "012", read as 0, 1 or 2; empty gives 0, as it then uses 0); -1
// for a value it refuses, which the list shows as no choice.
int DateFormatPosition(const QString& value) {
    if (value.isEmpty()) return 0;
    const qint64 v = Val(value);
    return QStringLiteral("012").contains(value) && v >= 0 && v <= 2 ? static_cast<int>(v) : -1;
}

}  // namespace

const PathKeyInfo& PathKeyAt(int index) { return kPathKeys.at(static_cast<size_t>(index)); }

const std::array<QString, 7>& WeekDayNames() {
    static const std::array<QString, 7> names = {
        QStringLiteral("Sunday"),   QStringLiteral("Monday"), QStringLiteral("Tuesday"),  QStringLiteral("Wednesday"),
        QStringLiteral("Thursday"), QStringLiteral("Friday"), QStringLiteral("Saturday"),
    };
    return names;
}

const QStringList& DateDisplayNames() {
    static const QStringList names = {QStringLiteral("dmy"), QStringLiteral("mdy"), QStringLiteral("ymd")};
    return names;
}

QString DisplayMask(int position) { return DisplayDateMask(position, true); }

const QStringList& EmailModelNames() {
    static const QStringList names = {QStringLiteral("Address"), QStringLiteral("Name"), QStringLiteral("Name,Address"),
                                      QStringLiteral("Address,Name")};
    return names;
}

ConfigSettings ReadConfigSettings(const IniDocument& doc) {
    ConfigSettings s;
    s.TimerSecs = QString::number(RoundedVal(Get(doc, QStringLiteral("TimerSecs"))));
    s.StartTime = Get(doc, QStringLiteral("DayStart"));
    s.CPULimit = QString::number(Val(Get(doc, QStringLiteral("CPULimit"))));
    for (int i = 0; i < kPathKeyCount; ++i) {
        const PathKeyInfo& k = PathKeyAt(i);
        QString v = Get(doc, Key(k.key));
        // The marker only says that the scheduler has reported the key once.
        if (k.optional && v == gMissingMark) v.clear();
        s.paths[static_cast<size_t>(i)] = v;
    }
    s.LoopCheck = YesFlag(Get(doc, QStringLiteral("LoopCheck")));
    s.ShowFailed = YesFlag(Get(doc, QStringLiteral("ShowFailedJobsWarning")));
    s.MinLaunch = Get(doc, QStringLiteral("MinJobLaunch"));
    s.DummyModel = Get(doc, QStringLiteral("DummyModel"));
    s.DateDisplayFormat = DateFormatPosition(Get(doc, QStringLiteral("DateDisplayFormat")));
    s.WorkDays = ReadWorkDays(Get(doc, QStringLiteral("Workdays")));
    s.ErrorTexts = ReadErrorTexts(Get(doc, QStringLiteral("RunTimeErrorText")));
    s.EmailAddressModel = Get(doc, QStringLiteral("EmailAddressFormat"));
    if (s.EmailAddressModel.isEmpty()) s.EmailAddressModel = Get(doc, QStringLiteral("EmailAddressModel"));
    return s;
}

bool SameSettingKeys(const ConfigSettings& a, const ConfigSettings& b) {
    ConfigSettings withTextsOfA = b;
    withTextsOfA.ErrorTexts = a.ErrorTexts;
    return a == withTextsOfA;
}

void WriteSettingKeys(IniDocument& doc, const ConfigSettings& s) {
    const auto path = [&](PathKey k) {
        const PathKeyInfo& info = PathKeyAt(k);
        QString v = s.paths[static_cast<size_t>(k)];
        if (info.optional && v.trimmed().isEmpty()) v = gMissingMark;
        Put(doc, Key(info.key), v);
    };
    Put(doc, QStringLiteral("TimerSecs"), QString::number(RoundedVal(s.TimerSecs)));
    Put(doc, QStringLiteral("DayStart"), s.StartTime);
    Put(doc, QStringLiteral("CPULimit"), s.CPULimit);
    path(kScheduleFile);
    path(kDummyProg);
    Put(doc, QStringLiteral("LoopCheck"), Flag(s.LoopCheck));
    Put(doc, QStringLiteral("ShowFailedJobsWarning"), Flag(s.ShowFailed));
    path(kLogFile);
    path(kPubHols);
    path(kEmailAddrPath);
    path(kTriggerPath);
    path(kTrackerPath);
    path(kJobDocPath);
    path(kEmailPath);
    path(kEmailAttPath);
    Put(doc, QStringLiteral("MinJobLaunch"), s.MinLaunch);
    // The key the scheduler reads first.
    Put(doc, QStringLiteral("EmailAddressFormat"), s.EmailAddressModel);
    // No choice (Valid refuses it): the key keeps the value it has.
    if (!DisplayMask(s.DateDisplayFormat).isEmpty())
        Put(doc, QStringLiteral("DateDisplayFormat"), QString::number(s.DateDisplayFormat));
    path(kHelpPath);
    Put(doc, QStringLiteral("DummyModel"), s.DummyModel);
    Put(doc, QStringLiteral("Workdays"), WorkDaysValue(s.WorkDays));
}

void WriteErrorTexts(IniDocument& doc, const QStringList& texts) {
    QStringList kept;
    for (const QString& t : texts)
        if (!t.trimmed().isEmpty()) kept << t;
    Put(doc, QStringLiteral("RunTimeErrorText"), kept.join(QLatin1Char('|')));
}

QStringList ReadErrorTexts(const QString& value) {
    const QString upper = value.toUpper();
    QStringList out;
    const int fields = static_cast<int>(upper.count(QLatin1Char('|'))) + 1;
    for (int f = 1; f <= fields; ++f) {
        const QString item = GetField(upper, f, kQuote, QLatin1Char('|'));
        if (!item.trimmed().isEmpty()) out << item;
    }
    return out;
}

QString ErrorTextRefusal(const QString& text) {
    if (text.trimmed().isEmpty()) return QStringLiteral("No change made");
    for (const QChar c : {gListComma, QChar(QLatin1Char('|'))}) {
        if (text.contains(c)) return QStringLiteral("Sorry, \"") + c + QStringLiteral("\" characters are not allowed");
    }
    if (text.contains(kQuote)) return QStringLiteral("Sorry, double quote characters are not allowed");
    return QString();
}

int MinOf(int a, int b) { return b < a ? b : a; }

std::array<bool, 7> ReadWorkDays(const QString& value) {
    std::array<bool, 7> days{};
    // Fields up to the first empty one.
    const int fields = static_cast<int>(value.count(QLatin1Char(','))) + 1;
    for (int f = 1; f <= fields; ++f) {
        const QString item = GetField(value, f, kQuote, QLatin1Char(',')).trimmed();
        if (item.isEmpty()) break;
        for (size_t d = 0; d < days.size(); ++d) {
            if (WeekDayNames()[d].contains(item, Qt::CaseInsensitive)) {
                days[d] = true;
                break;
            }
        }
    }
    return days;
}

QString WorkDaysValue(const std::array<bool, 7>& days) {
    QStringList out;
    for (size_t d = 0; d < days.size(); ++d)
        if (days[d]) out << WeekDayNames()[d].left(3);
    return out.join(QLatin1Char(','));
}

QString CharMask(const QString& s, const QString& Extra) {
    QString out = s;
    for (QChar& c : out) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            c = QLatin1Char('0');
        else if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                 Extra.contains(c))
            c = QLatin1Char('A');
    }
    return out;
}

QString ValidTime(QString& t) {
    const QString invalid = QStringLiteral("Schedule Start Time is invalid or is not specified.");
    const qsizetype p = t.indexOf(QLatin1Char(':'));
    if (p < 1) return invalid;
    const QString h = t.left(p);
    const QString m = t.mid(p + 1);
    if (h.size() > 2 || m.isEmpty() || m.size() > 2) return invalid;
    const QString hhmm =
        h.rightJustified(2, QLatin1Char('0')) + QLatin1Char(':') + m.rightJustified(2, QLatin1Char('0'));
    if (!IsClockTime(hhmm)) return invalid;
    t = hhmm;
    return QString();
}

QString Valid(ConfigSettings& s) {
    if (s.paths[kScheduleFile].trimmed().isEmpty()) return QStringLiteral("Schedule file not specified.");
    if (s.paths[kLogFile].trimmed().isEmpty()) return QStringLiteral("Log file not specified.");
    if (const QString msg = ValidTime(s.StartTime); !msg.isEmpty()) return msg;
    if (s.TimerSecs.trimmed().isEmpty()) s.TimerSecs = QStringLiteral("60");
    if (!IsWholeSeconds(s.TimerSecs)) return QStringLiteral("Invalid Default Kick Interval");
    s.TimerSecs = QString::number(Val(s.TimerSecs));
    if (s.CPULimit.trimmed().isEmpty()) s.CPULimit = QStringLiteral("9999");
    // The start-up window takes the same range: the limit is a 16-bit field.
    if (!IsCpuLimit(s.CPULimit)) return QStringLiteral("Invalid CPU Limit");
    if (DisplayMask(s.DateDisplayFormat).isEmpty())
        return QStringLiteral("Date Display Format is invalid or is not specified.");
    return QString();
}

QString TrimFolder(const QString& path) {
    if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) return path.chopped(1);
    return path;
}

QString HelpPage(const QString& Topic, const QString& Folder) {
    const QString folder = gConfg.gHelpPath.isEmpty() ? Folder : gConfg.gHelpPath;
    return JoinPath(folder, Topic + QStringLiteral(".htm"));
}

}  // namespace confg
