#include "common/ini.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "tests/support/asuser.h"
#include "tests/support/testing.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kSec = S("Morvenda");

TEST(Ini, ReadsKeysWithoutCaseFirstMatchWinsTrimmed) {
    TempDir dir;
    const QString f = dir.write(S("a.ini"),
                                "; comment\r\n[Other]\r\nScheduleName=wrong\r\n[morvenda]\r\n"
                                "  ScheduleName =  Accounts  \r\nschedulename=second\r\nEmpty=\r\n");
    EXPECT_EQ(IniGet(kSec, S("SCHEDULENAME"), f), S("Accounts"));
    EXPECT_EQ(IniGet(kSec, S("Empty"), f), S(""));
    EXPECT_EQ(IniGet(kSec, S("Missing"), f), S(""));
    EXPECT_EQ(IniGet(S("Nowhere"), S("ScheduleName"), f), S(""));
    EXPECT_EQ(IniGet(kSec, S("ScheduleName"), dir.path(S("none.ini"))), S(""));
}

TEST(Ini, LongValuesComeBackWhole) {
    TempDir dir;
    const QString longPath = S("/srv/") + QString(600, QLatin1Char('x')) + S("/sched.sch");
    const QString f = dir.path(S("long.ini"));
    ASSERT_TRUE(IniPut(kSec, S("ScheduleFile"), longPath, f));
    EXPECT_EQ(IniGet(kSec, S("ScheduleFile"), f), longPath);
}

TEST(Ini, WritingKeepsCommentsAndOrderAndTheFilesLineEnds) {
    TempDir dir;
    const QString f = dir.write(S("b.ini"), "; top comment\n[Morvenda]\nA=1\n; inside\nB=2\n\n[Next]\nC=3\n");
    ASSERT_TRUE(IniPut(kSec, S("b"), S("20"), f));
    ASSERT_TRUE(IniPut(kSec, S("New"), S("n"), f));
    ASSERT_TRUE(IniPut(S("Next"), S("D"), S("4"), f));
    EXPECT_EQ(dir.read(f), QByteArray("; top comment\n[Morvenda]\nA=1\n; inside\nB=20\nNew=n\n\n"
                                      "[Next]\nC=3\nD=4\n"));
}

TEST(Ini, WritingKeepsTheFilesEncodingAndEveryUntouchedByte) {
    struct Case {
        const char* what;
        QByteArray before;
        const char* key;
        QString value;
        QByteArray after;
    };
    const Case cases[] = {
        {"Latin-1 stays Latin-1", "[Morvenda]\r\nName=Caf\xe9\r\n", "Owner", S("M\u00fcller"),
         "[Morvenda]\r\nName=Caf\xe9\r\nOwner=M\xfcller\r\n"},
        {"a character Latin-1 lacks goes as UTF-8 on its own line", "[Morvenda]\nName=Caf\xe9\n", "Cost", S("5 \u20ac"),
         "[Morvenda]\nName=Caf\xe9\nCost=5 \xe2\x82\xac\n"},
        {"UTF-8 stays UTF-8", "[Morvenda]\r\nName=Caf\xc3\xa9\r\n", "Name", S("Th\u00e9"),
         "[Morvenda]\r\nName=Th\xc3\xa9\r\n"},
        {"byte order mark and CR line ends kept", "\xef\xbb\xbf[Morvenda]\rA=1\r", "B", S("2"),
         "\xef\xbb\xbf[Morvenda]\rA=1\rB=2\r"},
        {"a last line without a line end gets one only when a line follows", "[Morvenda]\r\nA=1", "A", S("1"),
         "[Morvenda]\r\nA=1"},
        {"mixed line ends: each line keeps its own", "[Morvenda]\r\nA=1\nB=2\r\n", "A", S("9"),
         "[Morvenda]\r\nA=9\r\nB=2\r\n"},
        {"appending after an unterminated line", "[Morvenda]\nA=1", "B", S("2"), "[Morvenda]\nA=1\nB=2\n"},
        {"an unchanged value leaves its line as it was", "[Morvenda]\r\n  A = 1 \r\n", "A", S("1"),
         "[Morvenda]\r\n  A = 1 \r\n"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString f = dir.write(S("enc.ini"), c.before);
        ASSERT_TRUE(IniPut(kSec, S(c.key), c.value, f));
        EXPECT_EQ(dir.read(f), c.after);
        EXPECT_EQ(IniGet(kSec, S(c.key), f), c.value);
    }
}

TEST(Ini, CreatesFileAndSectionAndSurvivesNonIniText) {
    TempDir dir;
    const QString fresh = dir.path(S("fresh.ini"));
    ASSERT_TRUE(IniPut(kSec, S("Key"), S("v"), fresh));
    EXPECT_EQ(dir.read(fresh), QByteArray("[Morvenda]\r\nKey=v\r\n"));

    const QString junk = dir.write(S("junk.ini"), "just some text\nwith = signs\n");
    EXPECT_EQ(IniGet(kSec, S("with"), junk), S(""));
    ASSERT_TRUE(IniPut(kSec, S("Key"), S("v"), junk));
    EXPECT_EQ(dir.read(junk), QByteArray("just some text\nwith = signs\n[Morvenda]\nKey=v\n"));
}

TEST(Ini, ReplacesAtomicallyAndNeverShrinksAnUnreadableFile) {
    MRV_RUN_AS_USER();
    TempDir dir;
    const QString f = dir.write(S("c.ini"), "[Morvenda]\r\nA=1\r\n");
    ASSERT_TRUE(IniPut(kSec, S("A"), S("2"), f));
    // The file was replaced, not rewritten in place: no temporary is left over.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{S("c.ini")});

    ::chmod(f.toLocal8Bit().constData(), 0200);
    EXPECT_FALSE(IniPut(kSec, S("B"), S("x"), f));
    ::chmod(f.toLocal8Bit().constData(), 0600);
    EXPECT_EQ(dir.read(f), QByteArray("[Morvenda]\r\nA=2\r\n"));
    // A folder that cannot be written: the write fails, the old file stays.
    const QString ro = dir.write(S("ro/d.ini"), "[Morvenda]\r\nA=1\r\n");
    ::chmod(dir.path(S("ro")).toLocal8Bit().constData(), 0500);
    EXPECT_FALSE(IniPut(kSec, S("A"), S("9"), ro));
    ::chmod(dir.path(S("ro")).toLocal8Bit().constData(), 0700);
    EXPECT_EQ(IniGet(kSec, S("A"), ro), S("1"));
}

// A line end written raw would split the key: the rest of the value would
// come back as a line of its own (or as a key or section of its own).
TEST(Ini, ALineEndInAValueIsRefusedAndChangesNothing) {
    struct Case {
        const char* what;
        QString section;
        QString key;
        QString value;
    };
    const Case cases[] = {
        {"LF in the value", kSec, S("DayStart"), S("06:00\nScheduleFile=/tmp/other.sch")},
        {"CR LF in the value", kSec, S("LastCompleted"), S("08 Dec 2026\r\n[Other]")},
        {"a lone CR in the value", kSec, S("CPULimit"), S("4\r")},
        {"a line end in the key", kSec, S("Day\nStart"), S("06:00")},
        {"a line end in the section", S("Morvenda\n[X"), S("DayStart"), S("06:00")},
    };
    TempDir dir;
    const QByteArray before = "[Morvenda]\r\nDayStart=05:00\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString f = dir.write(S("e.ini"), before);
        QString error;
        EXPECT_FALSE(IniPut(c.section, c.key, c.value, f, &error));
        EXPECT_TRUE(error.contains(f)) << error.toStdString();
        EXPECT_TRUE(error.contains(S("holds a line end"))) << error.toStdString();
        EXPECT_EQ(dir.read(f), before);
    }
    QString error;
    EXPECT_FALSE(IniPut(kSec, S("DayStart"), S("a\nb"), dir.path(S("e.ini")), &error));
    EXPECT_EQ(error, S("Key \"DayStart\" of section [Morvenda] was not written to \"") + dir.path(S("e.ini")) +
                         S("\": its value holds a line end, which would split it into two lines"));
    // A document saved with such a value (the configuration editor writes
    // its keys that way) is refused as well, and the file stays.
    IniDocument doc = IniDocument::fromBytes(before);
    doc.setValue(kSec, S("LogFile"), S("/var/log/x\n.log"));
    EXPECT_FALSE(doc.save(dir.path(S("e.ini")), &error));
    EXPECT_TRUE(error.contains(S("\"LogFile\""))) << error.toStdString();
    EXPECT_EQ(dir.read(S("e.ini")), before);
    // Nor is a missing file made for it.
    EXPECT_FALSE(IniPut(kSec, S("A"), S("x\ny"), dir.path(S("new.ini"))));
    EXPECT_FALSE(QFileInfo::exists(dir.path(S("new.ini"))));
}

TEST(Ini, ReadsLatin1Files) {
    TempDir dir;
    const QString f = dir.write(S("l.ini"), "[Morvenda]\r\nName=Caf\xe9\r\n");
    EXPECT_EQ(IniGet(kSec, S("Name"), f), S("Caf\u00e9"));
}

TEST(Settings, RoundTripUnderATemporaryConfigHome) {
    TempDir dir;
    ScopedEnv env("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    EXPECT_EQ(SettingsFilePath(), dir.path(S("Morvenda/settings.ini")));
    EXPECT_EQ(GetSetting(S("Morvenda"), S("@General"), S("Current"), S("dflt")), S("dflt"));
    ASSERT_TRUE(SaveSetting(S("Morvenda"), S("@General"), S("Current"), S("/srv/a.ini")));
    ASSERT_TRUE(SaveSetting(S("Morvenda"), S("@General"), S("MRVEmailIni"), S("/srv/e.ini")));
    ASSERT_TRUE(SaveSetting(S("MRVChap"), S("@General"), S("Current"), S("other")));
    EXPECT_EQ(GetSetting(S("morvenda"), S("@general"), S("CURRENT")), S("/srv/a.ini"));
    EXPECT_EQ(GetSetting(S("MRVChap"), S("@General"), S("Current")), S("other"));
    const auto all = GetAllSettings(S("Morvenda"), S("@General"));
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[1].first, S("MRVEmailIni"));

    ASSERT_TRUE(DeleteSetting(S("Morvenda"), S("@General"), S("Current")));
    EXPECT_EQ(GetSetting(S("Morvenda"), S("@General"), S("Current")), S(""));
    EXPECT_EQ(GetSetting(S("Morvenda"), S("@General"), S("MRVEmailIni")), S("/srv/e.ini"));
    ASSERT_TRUE(DeleteSetting(S("Morvenda"), S("@General")));
    EXPECT_TRUE(GetAllSettings(S("Morvenda"), S("@General")).isEmpty());
    EXPECT_TRUE(DeleteSetting(S("Morvenda"), S("NoSuch"), S("x")));

    // Names the file could not give back are refused and nothing is written.
    ASSERT_TRUE(SaveSetting(S("Morvenda"), S("Kept"), S("Key"), S("value")));
    const QByteArray before = dir.read(S("Morvenda/settings.ini"));
    const char* const refused[][3] = {{"Grid]x", "Key", "v"}, {"Trail ", "Key", "v"},  {"Kept", "a=b", "v"},
                                      {"Kept", "[Key", "v"},  {"Kept", "Key", "a\nb"}, {"Line\nbreak", "Key", "v"}};
    for (const auto& r : refused) EXPECT_FALSE(SaveSetting(S("Morvenda"), S(r[0]), S(r[1]), S(r[2]))) << r[0] << r[1];
    EXPECT_EQ(dir.read(S("Morvenda/settings.ini")), before);
}

TEST(TextFiles, LinesAndEncodings) {
    EXPECT_EQ(SplitLines(S("a\r\nb\nc\rd\r\n")), (QStringList{S("a"), S("b"), S("c"), S("d")}));
    EXPECT_EQ(SplitLines(S("a\r\n\r\nb")), (QStringList{S("a"), S(""), S("b")}));
    EXPECT_EQ(DecodeText(QByteArray("\xc2\xac")), QString(QChar(0xac)));
    EXPECT_EQ(DecodeText(QByteArray("\xac")), QString(QChar(0xac)));
    EXPECT_EQ(FolderOf(S("/a/b/c.txt")), S("/a/b"));
    EXPECT_EQ(FileNameOf(S("/a/b/c.txt")), S("c.txt"));
    EXPECT_EQ(JoinPath(S("/a/"), S("b")), S("/a/b"));
    EXPECT_EQ(JoinPath(S("/a"), S("b")), S("/a/b"));
}

}  // namespace
