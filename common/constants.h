#pragma once

#include <QString>

#include <array>

// Values shared by every Morvenda program. Each is chosen so that no real entry
// (a date, a path, a job or group name) can take it by accident.

/// Backspace, the one key code that every key filter lets through.
inline constexpr QChar kBackspace = QChar(8);

/// Sizes stored in twips become pixels at this rate.
inline constexpr int kTwipsPerPixel = 15;

/// The dummy run's command-line model when the configuration names none.
inline const QString gDefaultDummyModel =
    QStringLiteral("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,OTT=On,RES=S,GO=Y");

/// Application name of the per-user settings and section name of every
/// schedule configuration file.
inline const QString gAppName = QStringLiteral("Morvenda");
/// Settings section of the values shared between the programs ("Current", ...).
inline const QString gRegSection = QStringLiteral("@General");
/// Key of the program that the setup genie starts when it closes.
inline const QString gCallBackKey = QStringLiteral("CallBack");

/// Skip-on value that skips the job on every run date (fits the 11-character
/// field and never reads as a date).
inline const QString gSkipKeyword = QStringLiteral("*EveryDay*");
/// Trigger-file value that stands for the job's standard trigger file.
inline const QString gStdTrigger = QStringLiteral("*Standard*");
/// Written into an optional configuration key that was found missing, so the
/// warning about it appears only once.
inline const QString gMissingMark = QStringLiteral("*Missing*");
/// Group filter that shows every group (blanks and brackets are refused in
/// group names, so no group can be called this).
inline const QString gAllGroups = QStringLiteral("(All Groups)");

/// Results of the dependency evaluation.
inline const QString gDepMet = QStringLiteral("*DepMet*");
inline const QString gDepWait = QStringLiteral("*DepWait*");
inline const QString gDepNever = QStringLiteral("*DepNever*");
inline const QString gDepFound = QStringLiteral("*DepFound*");

/// Seven default date-variable definitions: name, relative day, relative
/// month, format.
inline const std::array<QString, 7> gDefDateVars = {
    QStringLiteral("RUNDATE,RunDate,0,yyyymmdd"),  QStringLiteral("PREVRUN,-1RUND,0,yyyymmdd"),
    QStringLiteral("NEXTRUN,+1RUND,0,yyyymmdd"),   QStringLiteral("PREVWD,RUND-1WD,0,yyyymmdd"),
    QStringLiteral("NEXTWD,RUND+1WD,0,yyyymmdd"),  QStringLiteral("FIRSTWD,+1WDOM,0,yyyymmdd"),
    QStringLiteral("LASTWDPM,-1WDOM,-1,yyyymmdd"),
};

/// Put before a quoted path in the messages that stop on an unreadable file;
/// the message ends with a closing double quote.
inline const QString gPathMsgPrefix = QStringLiteral("Cannot open file \"");

/// Settings section and three-character prefix of the grid's view profiles.
inline const QString gProfSection = QStringLiteral("GridProfiles");
inline const QString gProfPrefix = QStringLiteral("VP_");
/// Keys of the profiles section: the profile in use, and the list of all.
inline const QString gProfCurrentKey = QStringLiteral("Current");
inline const QString gProfListKey = QStringLiteral("List");

/// Characters the editors' key filters let through.
inline const QString gDigitChars = QStringLiteral("0123456789");
inline const QString gAlphaChars = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

/// Characters the setup genie allows in a schedule name.
inline const QString gSchedNameChars =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-");

/// The list marker that stands for a comma inside a schedule-file list item.
inline constexpr QChar gListComma = QChar(0x00AC);
