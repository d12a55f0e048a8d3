#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "common/ini.h"

// The configuration editor's logic, without windows: the keys of a schedule
// configuration file as the editor shows them, their checks and how they are
// read and written. Names live in their own namespace, apart from the
// scheduler's helpers of the same names.

namespace confg {

/// Program-wide values of the editor.
struct ConfgGlobals {
    /// Help folder: the program's folder at start, the "HelpPath" value after
    /// each load.
    QString gHelpPath;
    /// Date mask of the chosen date display format; the public holidays
    /// editor shows and writes dates with it.
    QString gDisplayFmt = QStringLiteral("dd mmm yyyy");
};
extern ConfgGlobals gConfg;

/// Title of the editor's own messages and questions.
inline const QString kConfgTitle = QStringLiteral("Morvenda Configurator");

/// The eleven path keys, in the order of the "File Locations" tab (the index
/// of each browse button).
enum PathKey {
    kScheduleFile,
    kLogFile,
    kPubHols,
    kEmailAddrPath,
    kEmailPath,
    kEmailAttPath,
    kJobDocPath,
    kTrackerPath,
    kTriggerPath,
    kDummyProg,
    kHelpPath,
    kPathKeyCount
};

/// What the "File Locations" tab knows of each path key.
struct PathKeyInfo {
    const char* control;  ///< text box
    const char* label;    ///< its label
    const char* key;      ///< configuration key
    const char* filter;   ///< browse filter name
    const char* ext;      ///< browse extension; "" = a folder
    bool mustExist;       ///< browse: the file must exist
    bool optional;        ///< a key the scheduler reports once when missing
};
const PathKeyInfo& PathKeyAt(int index);

/// The names of the days of the working-days list, Sunday first.
const std::array<QString, 7>& WeekDayNames();

/// The date display formats of the list ("dmy", "mdy", "ymd").
const QStringList& DateDisplayNames();
/// The date mask of a list position 0, 1 or 2; "" for any other.
QString DisplayMask(int position);

/// The choices of the e-mail address list.
const QStringList& EmailModelNames();

/// Every setting the editor shows, as the controls hold it.
struct ConfigSettings {
    std::array<QString, kPathKeyCount> paths;
    QString StartTime;
    QString CPULimit;
    QString TimerSecs;
    bool LoopCheck = false;
    bool ShowFailed = false;
    std::array<bool, 7> WorkDays{};  ///< Sunday first
    int DateDisplayFormat = 0;       ///< list position; -1 = none
    QString MinLaunch;
    QString DummyModel;
    QString EmailAddressModel;  ///< the address template as shown
    QStringList ErrorTexts;     ///< run-time error texts, upper case

    bool operator==(const ConfigSettings&) const = default;
};

/// True when a and b agree in every setting WriteSettingKeys writes (all but
/// the error texts).
bool SameSettingKeys(const ConfigSettings& a, const ConfigSettings& b);

/// Reads every setting from a configuration file's text, each as the
/// scheduler reads it, so a save writes back what every key meant: the kick
/// interval becomes its leading number rounded ("2.6" gives "3"), the CPU
/// limit its leading number ("0" when missing); Loop check and failure
/// warning are ticked when the first letter is "Y" in either case ("Yes"
/// too); a date display format the scheduler refuses shows no choice (-1),
/// an empty one format 0; a missing-key marker in a path key shows as "";
/// the address template is "EmailAddressFormat", else "EmailAddressModel".
ConfigSettings ReadConfigSettings(const IniDocument& doc);

/// Writes every setting key but the error texts (which WriteErrorTexts
/// writes) into doc; other keys, comments and their order are kept. A path
/// key the scheduler reports when missing gets the missing-key marker when
/// its text is empty, so the scheduler reads it as empty without a warning.
/// No date display format chosen leaves that key as it is.
void WriteSettingKeys(IniDocument& doc, const ConfigSettings& s);

/// Writes "RunTimeErrorText": the entries not blank after trimming joined by
/// "|" (as they are, untrimmed).
void WriteErrorTexts(IniDocument& doc, const QStringList& texts);

/// The run-time error texts of a key value: upper-cased, split at "|" (the
/// double quote grouping); empty items are skipped, so "A||B" gives both.
QStringList ReadErrorTexts(const QString& value);

/// The refusal of a text typed as a run-time error text; "" when it may be
/// stored. An empty text is refused with "No change made"; "¬", "|" and the
/// double quote are refused (they would read back split differently).
QString ErrorTextRefusal(const QString& text);

/// The smaller of a and b (a when equal).
int MinOf(int a, int b);

/// The working days of a "Workdays" value: for each field (trimmed), up to
/// the first empty one, the first day whose name holds it, without regard to
/// case.
std::array<bool, 7> ReadWorkDays(const QString& value);
/// The "Workdays" value: the three-letter names of the chosen days joined
/// by "," ("" when none).
QString WorkDaysValue(const std::array<bool, 7>& days);

/// Text of s in which each digit becomes "0", each letter or character of
/// Extra becomes "A" and every other character stays.
QString CharMask(const QString& s, const QString& Extra = QString());

/// Checks a start time: "h:m" with one or two digits each, hours up to 23,
/// minutes up to 59. On success t becomes "hh:mm" and "" is returned; else
/// the message, and t is left as it was.
QString ValidTime(QString& t);

/// Checks the settings in order and returns the first message ("" when they
/// may be saved). A valid start time is normalised; a blank kick interval
/// becomes "60" and a blank CPU limit "9999" on the way. The kick interval
/// must be whole seconds, 0 or more ("2.6" is refused, not saved as another
/// value); the date display format must be one of the list's three.
QString Valid(ConfigSettings& s);

/// The folder text a browse leaves: one trailing "/" removed, except from
/// the root "/".
QString TrimFolder(const QString& path);

/// The help page of a topic: the topic and ".htm" in gConfg.gHelpPath, or in
/// Folder when that is empty.
QString HelpPage(const QString& Topic, const QString& Folder);

}  // namespace confg
