#include "mrvchap/script.h"

#include "tests/support/testing.h"
#include "tests/support/textfiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kMark = S("  ***************");

LoadedScript Check(const QStringList& lines, DiagList& diag) { return CheckScript(lines, diag); }

TEST(ChaperoneCommandLine, ScriptAndFiveParameters) {
    const ChaperoneCommandLine c = ParseChaperoneCommandLine(S("/srv/keys/pay.key,one,\"two, three\",,four"));
    EXPECT_EQ(c.script, S("/srv/keys/pay.key"));
    EXPECT_EQ(c.parms[0], S("one"));
    EXPECT_EQ(c.parms[1], S("two, three"));
    EXPECT_EQ(c.parms[2], QString());
    EXPECT_EQ(c.parms[3], S("four"));
    EXPECT_EQ(c.parms[4], QString());
    EXPECT_EQ(ParseChaperoneCommandLine(QString()).script, QString());
}

TEST(ScriptLanguage, CommandsUnquotingAndNames) {
    struct Case {
        const char* row;
        bool command;
        const char* verb;
        const char* value;
    };
    const Case cases[] = {
        {"[DELAY 2]", true, "delay", "2"},
        {"[goto end] x", true, "goto", "end"},  // the command ends at its first "]"
        {"[label  \"Two Words\"  ]", true, "label", "\"Two Words\""},
        {"[]", true, "", ""},
        {"[exit", false, "", ""},
        {" [exit]", false, "", ""},
        {"abc[x]", false, "", ""},
    };
    for (const Case& c : cases) {
        const std::optional<ScriptCommand> cmd = ParseCommand(S(c.row));
        ASSERT_EQ(cmd.has_value(), c.command) << c.row;
        if (cmd) {
            EXPECT_EQ(cmd->verb, S(c.verb)) << c.row;
            EXPECT_EQ(cmd->value, S(c.value)) << c.row;
        }
    }
    EXPECT_EQ(UnQuote(S("\"a b\"")), S("a b"));
    EXPECT_EQ(UnQuote(S("\"")), S("\""));
    EXPECT_EQ(UnQuote(S("\"\"")), QString());
    EXPECT_EQ(UnQuote(S("\"a")), S("\"a"));
    EXPECT_TRUE(IsNoSkip(S("  [NoSkip] ")));
    // A name keeps every dot but the extension's.
    EXPECT_EQ(ScriptBaseName(S("daily.v2.key")), S("daily.v2"));
    EXPECT_EQ(ScriptBaseName(S("x.txt")), S("x"));
    EXPECT_EQ(ScriptBaseName(S("plain")), S("plain"));
}

TEST(ScriptLoader, ChecksEachVerb) {
    TempDir dir;
    const QString lock = dir.write(S("my lock.Lck"), "");
    struct Case {
        QString row;
        QString message;  // appended to the row; "" when it passes
    };
    const QString notAllowed = S(" - A value is not allowed") + kMark;
    const QString spaces = S(" - Embedded spaces in unenquoted value") + kMark;
    const QString notNumeric = S(" - Value not numeric") + kMark;
    const QString invalid = S(" - Invalid command ") + kMark;
    const Case cases[] = {
        {S("[rem anything at all]"), {}},
        {S("[wait Press OK when ready]"), {}},
        {S("[diag]"), {}},
        {S("[diag x]"), notAllowed},
        {S("[LOG]"), {}},
        {S("[clearclipboard x]"), notAllowed},
        {S("[copy]"), {}},
        {S("[paste now]"), notAllowed},
        {S("[ontop]"), {}},
        {S("[notontop 1]"), notAllowed},
        {S("[exit]"), {}},
        {S("[exec /usr/bin/true]"), {}},
        {S("[exec \"/opt/my app/run\"]"), {}},
        {S("[exec my app]"), spaces},
        {S("[checkforwindowtext]"), {}},  // an empty value passes
        {S("[waitforwindowtitle \"Pay Run\"]"), {}},
        {S("[waitforwindowtext Pay Run]"), spaces},
        {S("[checkforwindowtitle Pay]"), {}},
        {S("[DELAY 2]"), {}},
        {S("[delay 0.5]"), {}},
        {S("[delay]"), notNumeric},
        {S("[timeout ten]"), notNumeric},
        {S("[timeout 1e400]"), notNumeric},
        {S("[timeout 30]"), {}},
        {S("[lockfile ") + lock + u']', {}},  // blanks allowed without quotes
        {S("[lockfile \"") + lock + S("\"]"), {}},
        {S("[noskip]"), invalid},  // no skip before it
        {S("[]"), invalid},
        {S("[typo]"), invalid},
        {S("[rem x] abc"), {}},
        {S("[delay x] abc"), notNumeric},  // read as the runner reads it: no row escapes
        {S("plain keys {ENTER}"), {}},
        {S("{unbalanced"), {}},  // keystroke rows are checked when sent
    };
    for (const Case& c : cases) {
        DiagList diag;
        const LoadedScript s = Check({c.row}, diag);
        EXPECT_EQ(s.error, !c.message.isEmpty()) << c.row.toStdString();
        ASSERT_EQ(diag.shown().size(), 1) << c.row.toStdString();
        EXPECT_EQ(diag.shown()[0], c.row + c.message);
    }
}

TEST(ScriptLoader, LabelsSkipValidateAndLockFile) {
    struct Case {
        const char* what;
        const char* lines;
        QStringList rows;  // as shown after loading; empty: the lines as they are
        bool error;
        bool validateOnly;
        QList<int> jumps;  // jump target per row
    };
    const Case cases[] = {
        {"labels match in any letter case",
         "[label Start]|[goto start]|[found START]|[notfound start]",
         {},
         false,
         false,
         {-1, 0, 0, 0}},
        {"quoted two-word labels", "[goto \"The End\"]|[label \"the end\"]", {}, false, false, {1, -1}},
        {"unquoted two words",
         "[label \"two words\"]|[goto two words]",
         {S("[label \"two words\"]"), S("[goto two words] - Embedded spaces in unenquoted value") + kMark},
         true,
         false,
         {-1, 0}},
        {"duplicate label",
         "[label start]|[label START]",
         Rows("[label start]|[label START] - Duplicate label"),
         true,
         false,
         {-1, -1}},
        {"missing label", "[goto nowhere]", Rows("[goto nowhere] - Label not found"), true, false, {-1}},
        {"a jump with text after it is checked too",
         "[goto end] x",
         Rows("[goto end] x - Label not found"),
         true,
         false,
         {-1}},
        {"skip hides lines from the checks until noskip",
         "[skip]|[bogus]|[delay x]| [NOSKIP] |[bogus]",
         Rows("[skip]|[bogus]|[delay x]| [NOSKIP] ") << S("[bogus] - Invalid command ") + kMark,
         true,
         false,
         {-1, -1, -1, -1, -1}},
        {"validate on the last line", "keys|[validate]", {}, false, true, {-1, -1}},
    };
    for (const Case& c : cases) {
        DiagList diag;
        const LoadedScript s = Check(Rows(c.lines), diag);
        EXPECT_EQ(diag.shown(), c.rows.isEmpty() ? Rows(c.lines) : c.rows) << c.what;
        EXPECT_EQ(s.error, c.error) << c.what;
        EXPECT_EQ(s.validateOnly, c.validateOnly) << c.what;
        EXPECT_EQ(s.jumpTarget, c.jumps) << c.what;
        EXPECT_EQ(s.lines, Rows(c.lines)) << c.what;
    }
}

TEST(ScriptLoader, MissingLockFileStopsLoading) {
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().toUtf8());
    DiagList diag;
    LoadedScript s = Check({S("[lockfile]"), S("[bogus]")}, diag);
    EXPECT_TRUE(s.lockMissing);
    EXPECT_EQ(s.lockFile, dir.path(S("MRVChap.Lck")));
    EXPECT_EQ(diag.shown(), QStringList{S("[lockfile] Lock file does not exist") + kMark});
    // Once the default lock file exists the same script loads on.
    dir.write(S("MRVChap.Lck"), "");
    s = Check({S("[lockfile]"), S("keys")}, diag);
    EXPECT_FALSE(s.lockMissing);
    EXPECT_FALSE(s.error);
    EXPECT_EQ(s.lockFile, dir.path(S("MRVChap.Lck")));
}

TEST(ScriptLoader, ErrorRowsFilterKeepsEveryError) {
    DiagList diag;
    Check({S("[rem ok]"), S("[bogus]"), S("keys"), S("[goto none]"), S("[label a]"), S("[label A]")}, diag);
    diag.keepErrorRows();
    EXPECT_EQ(diag.shown(), (QStringList{S("[bogus] - Invalid command ") + kMark, S("[goto none] - Label not found"),
                                         S("[label A] - Duplicate label")}));
}

TEST(ScriptLoader, ReadsFilesAndNamesTheOneItCannotRead) {
    TempDir dir;
    const QString path = dir.write(S("pay.key"), "[delay 1]\r\nkeys~\n[exit]");
    DiagList diag;
    LoadedScript s = LoadScript(path, S("pay"), diag);
    EXPECT_EQ(s.lines, (QStringList{S("[delay 1]"), S("keys~"), S("[exit]")}));
    EXPECT_EQ(s.baseName, S("pay"));
    EXPECT_TRUE(s.readError.isEmpty());
    s = LoadScript(dir.path(S("none.key")), S("none"), diag);
    EXPECT_TRUE(s.error);
    EXPECT_TRUE(s.readError.contains(dir.path(S("none.key")))) << s.readError.toStdString();
    EXPECT_TRUE(diag.shown().isEmpty());
}

TEST(ScriptFiles, ListingPlacesAndStandardPaths) {
    TempDir dir;
    dir.write(S("b.key"), "");
    dir.write(S("daily.v2.key"), "");
    dir.write(S("x.txt"), "");
    EXPECT_EQ(ListScripts(dir.path(), S("*.key")), (QStringList{S("b"), S("daily.v2")}));
    EXPECT_EQ(ListScripts(dir.path(), S("x.txt")), QStringList{S("x")});
    EXPECT_TRUE(ListScripts(dir.path(), S("none.key")).isEmpty());

    struct Place {
        const char* script;
        const char* folder;
        const char* name;
    };
    const Place places[] = {
        {"", "/prog", "*.key"},
        {"pay.key", "/prog", "pay.key"},
        {"/srv/keys/pay.key", "/srv/keys", "pay.key"},
        {"c:\\keys\\pay.key", "c:\\keys", "pay.key"},
        {"/pay.key", "/", "pay.key"},
    };
    for (const Place& p : places) {
        const ScriptPlace got = ScriptPlaceOf(S(p.script), S("/prog"));
        EXPECT_EQ(got.folder, S(p.folder)) << p.script;
        EXPECT_EQ(got.fileName, S(p.name)) << p.script;
    }

    {
        ScopedEnv state("XDG_STATE_HOME", "/st");
        EXPECT_EQ(ScriptLogPath(S("pay")), S("/st/Morvenda/MRVChap.pay.log"));
    }
    {
        ScopedEnv state("XDG_STATE_HOME", "");
        EXPECT_EQ(ScriptLogPath(S("pay")), QDir::homePath() + S("/.local/state/Morvenda/MRVChap.pay.log"));
    }
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", "");
        EXPECT_TRUE(DefaultLockFile().startsWith(QDir::tempPath() + S("/MRVChap."))) << DefaultLockFile().toStdString();
        EXPECT_TRUE(DefaultLockFile().endsWith(S(".Lck")));
    }
}

}  // namespace
