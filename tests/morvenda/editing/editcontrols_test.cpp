#include "morvenda/editing/editcontrols.h"

#include <gtest/gtest.h>

#include "common/constants.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"

// The rules behind the job editor's controls and dialogs.

namespace {

class EditControlsTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
    }
    static void Add(const char* name, const char* group) { JobBuilder(S(name)).group(S(group)).add(); }
};

QString RowText(const DepRow& r) {
    return r.Name + S("|") + (r.Wait ? S("W") : S("-")) + S("|") + r.Cond + S("|") + (r.Unsched ? S("Y") : S("-"));
}

TEST_F(EditControlsTest, DependencyGridClicksAndConditions) {
    // Each case: starting row, then a sequence of actions ("L<col>" a left
    // click, "R<col>" whether the condition menu opens, "S"/"F"/"U" a menu
    // choice), and the row afterwards.
    struct Case {
        DepRow start;
        const char* actions;
        const char* after;
        bool menuOpens;
    } cases[] = {
        {{S("A"), S("G"), false, {}, false}, "L2", "A|W|Uncond|-", false},
        // A click on the name, group or condition selects the row only.
        {{S("A"), S("G"), false, {}, false}, "L0 L1 L3", "A|-||-", false},
        {{S("A"), S("G"), true, kCondSuccess, true}, "L0 L1 L3", "A|W|Success|Y", false},
        {{S("A"), S("G"), false, {}, false}, "L4", "A|-||-", false},                // no Wait EOJ: nothing
        {{S("A"), S("G"), true, kCondUncond, false}, "L4", "A|W|Uncond|-", false},  // Uncond: nothing
        {{S("A"), S("G"), true, kCondUncond, false}, "S L4", "A|W|Success|Y", false},
        {{S("A"), S("G"), true, kCondSuccess, true}, "L4", "A|W|Success|-", false},
        {{S("A"), S("G"), true, kCondSuccess, true}, "L2", "A|-||-", false},  // untick clears all
        {{S("A"), S("G"), true, kCondSuccess, true}, "F", "A|W|Failure|-", false},
        {{S("A"), S("G"), true, kCondFailure, false}, "L3", "A|W|Failure|-", true},
    };
    for (const Case& c : cases) {
        std::vector<DepRow> rows{c.start};
        for (const QString& a : S(c.actions).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (a.startsWith(QLatin1Char('L')))
                DepLeftClick(rows, 0, a.mid(1).toInt());
            else
                DepSetCond(rows, 0, a == S("S") ? kCondSuccess : a == S("F") ? kCondFailure : kCondUncond);
        }
        EXPECT_EQ(RowText(rows[0]), S(c.after)) << c.actions;
        EXPECT_EQ(DepCondMenuAllowed(rows, 0, 3), rows[0].Wait) << c.actions;
    }
    std::vector<DepRow> none;
    DepLeftClick(none, 0, 2);  // out of range: nothing
    EXPECT_TRUE(none.empty());
    std::vector<DepRow> unticked{DepRow{S("A"), S("G"), false, {}, false}};
    EXPECT_FALSE(DepCondMenuAllowed(unticked, 0, 3));
}

TEST_F(EditControlsTest, CandidatesOfTheSameOrAllGroups) {
    Add("SELF", "DAY");
    Add("ALPHA", "DAY");
    Add("BETA", "NIGHT");
    Add("GAMMA", "NIGHT");
    Add("TYPED", "DAY");
    // BETA of another group is a dependency: it stays listed.
    std::vector<DepRow> rows{DepRow{S("BETA"), S("NIGHT"), true, kCondSuccess, false}};
    DepCandidates(rows, {S("SELF "), S("typed")}, false, S("DAY"));
    QStringList names;
    for (const DepRow& r : rows) names << r.Name;
    EXPECT_EQ(names, (QStringList{S("BETA"), S("ALPHA")}));
    EXPECT_TRUE(rows[0].Wait);

    DepCandidates(rows, {S("SELF"), S("TYPED")}, true, S("DAY"));
    names.clear();
    for (const DepRow& r : rows) names << r.Name;
    EXPECT_EQ(names, (QStringList{S("BETA"), S("ALPHA"), S("GAMMA")}));

    // Back to the same group: GAMMA goes, the ticked BETA stays.
    DepCandidates(rows, {S("SELF"), S("TYPED")}, false, S("DAY"));
    EXPECT_EQ(rows.size(), 2u);
}

TEST_F(EditControlsTest, EndOfJobEnabledStatesAndCompletionChoices) {
    struct Case {
        EojLine line;
        std::array<bool, 5> enabled;
    } cases[] = {
        {{S("   "), true, true, true, true, true}, {false, false, false, false, false}},
        {{S("text"), false, false, false, false, false}, {true, false, false, false, false}},
        {{S("/f"), true, false, false, false, false}, {true, true, true, true, true}},
        {{S("/f"), true, false, true, false, false}, {true, true, true, false, true}},
    };
    for (const Case& c : cases) EXPECT_EQ(EojLineEnabled(c.line), c.enabled) << c.line.Text.toStdString();

    EXPECT_TRUE(ReschedEnabled(false, false));
    EXPECT_FALSE(ReschedEnabled(true, false));
    EXPECT_FALSE(ReschedEnabled(false, true));
    EXPECT_TRUE(CompletionChecksEnabled(0));
    EXPECT_FALSE(CompletionChecksEnabled(3));

    // Key filters: names refuse what breaks lists; messages the comma and quote.
    for (const char* c : {" ", "/", ",", "\"", "'", "(", ")", "\u00ac"})
        EXPECT_TRUE(NameKeyFilter(S(c).at(0)).isNull()) << c;
    EXPECT_EQ(NameKeyFilter(QLatin1Char('a')), QLatin1Char('a'));
    EXPECT_TRUE(MessageKeyFilter(QLatin1Char(',')).isNull());
    EXPECT_TRUE(MessageKeyFilter(QLatin1Char('"')).isNull());
    EXPECT_EQ(MessageKeyFilter(QLatin1Char('&')), QLatin1Char('&'));
    EXPECT_EQ(CommaToBlankFilter(QLatin1Char(',')), QLatin1Char(' '));
}

TEST_F(EditControlsTest, KeywordsAskForWhatTheyNeed) {
    struct Case {
        const char* keyword;
        std::vector<const char*> inputs;
        const char* result;
        int prompts;
    } cases[] = {
        {"Daily", {}, "Daily", 0},
        {"+nCDOM", {"3"}, "+3CDOM", 1},
        {"-nWDOM", {""}, "", 1},
        {"+nddd", {"2", "tue"}, "+2Tue", 2},
        {"-nddd", {"1", "tues", "tu", "mon tue", "FRI"}, "-1Fri", 5},
        {"+nddd", {"1", ""}, "", 2},
    };
    for (const Case& c : cases) {
        prompts.prompts.clear();
        for (const char* in : c.inputs) prompts.queueInput(S(in));
        EXPECT_EQ(RelDaySelect(S(c.keyword), {}), S(c.result)) << c.keyword;
        EXPECT_EQ(prompts.prompts.size(), c.prompts) << c.keyword;
    }
    EXPECT_EQ(prompts.prompts.back(), S("Please enter 3 character day name"));

    // "Selected Date": the picker starts empty; its date becomes a date item.
    G.gDateSelText = S("left over");
    QString seen = S("not called");
    EXPECT_EQ(RelDaySelect(S("Selected Date"),
                           [&seen] {
                               seen = G.gDateSelText;
                               G.gDateSelText = S("8 Dec 2026");
                           }),
              S("08-Dec-2026"));
    EXPECT_EQ(seen, S(""));
    EXPECT_EQ(RelDaySelect(S("Selected Date"), [] {}), S(""));  // Esc: no date
    EXPECT_EQ(AppendFrequency(S(" "), S("Mon")), S("Mon"));
    EXPECT_EQ(AppendFrequency(S("Mon"), S("+2Tue")), S("Mon +2Tue"));
}

TEST_F(EditControlsTest, DateVariableEditorChecks) {
    QString focus;
    EXPECT_EQ(DateVarProblems(DateVarParams{S(""), S(" "), S("RunDate"), 0}, &focus),
              (QStringList{S("No format string specified"), S("No Variable Name specified")}));
    EXPECT_EQ(focus, S("txtName"));
    focus.clear();
    EXPECT_EQ(DateVarProblems(DateVarParams{S("X"), S("yyyy"), S(""), 0}, &focus),
              QStringList{S("No Relative Day in Month specified")});
    EXPECT_EQ(focus, S("txtRelDIM"));
    EXPECT_TRUE(DateVarProblems(DateVarParams{S("X"), S("yyyy"), S("RunDate"), 0}, &focus).isEmpty());
    EXPECT_EQ(RelDayCodes().size(), 11);
    EXPECT_TRUE(RelMonthShown(S("+2WDOM")));
    EXPECT_TRUE(RelMonthShown(S("-1cdom ")));
    EXPECT_FALSE(RelMonthShown(S("RunDate")));
    EXPECT_FALSE(RelMonthShown(S("RUND+1WD")));
}

TEST_F(EditControlsTest, CommandLineProgramParametersAndCaption) {
    struct Case {
        const char* cmd;
        const char* program;
        const char* params;
        const char* browsed;  // after choosing /usr/bin/tool
        bool needsCmd;
    } cases[] = {
        {"\"/opt/my tools/run.sh\" -a b", "/opt/my tools/run.sh", "-a b", "/usr/bin/tool -a b", false},
        {"run.sh -a  b ", "run.sh", "-a  b", "/usr/bin/tool -a  b", false},
        {"prog", "prog", "", "/usr/bin/tool", false},
        {"", "", "", "/usr/bin/tool", false},
        {"backup.COM /x", "backup.COM", "/x", "/usr/bin/tool /x", true},
        {"mail user@corp.com", "mail", "user@corp.com", "/usr/bin/tool user@corp.com", false},
    };
    for (const Case& c : cases) {
        const CmdParts parts = SplitCmdLine(S(c.cmd));
        EXPECT_EQ(parts.Program, S(c.program)) << c.cmd;
        EXPECT_EQ(parts.Params, S(c.params)) << c.cmd;
        EXPECT_EQ(BrowsedCmdLine(S("/usr/bin/tool"), parts.Params), S(c.browsed)) << c.cmd;
        EXPECT_EQ(NeedsCommandProcessor(S(c.cmd)), c.needsCmd) << c.cmd;
    }
    EXPECT_EQ(BrowsedCmdLine(S("/opt/My Tools/Run"), S("x")), S("\"/opt/My Tools/Run\" x"));
    EXPECT_EQ(BrowsedCmdLine(S(""), S("x")), S(""));  // cancelled dialog: unchanged
    EXPECT_EQ(EditCaption(S("")), S("Edit Job"));
    EXPECT_EQ(EditCaption(S("pay")), S("Edit Job - pay"));
}

TEST_F(EditControlsTest, AddressBooksAndPreselection) {
    const TempDir& books = dir;
    books.write(S("jones.ADR"), "jones@corp.example,\"Jones, Ann\"\r\n");
    books.write(S("j.smith.adr"), "smith@corp.example,John Smith\r\n");
    books.write(S("empty.adr"), "");
    books.write(S("notes.txt"), "x,y\r\n");
    const QStringList entries = AddressBookEntries(books.path());
    EXPECT_EQ(entries, (QStringList{S("J.SMITH(John Smith)"), S("JONES(Jones, Ann)")}));
    EXPECT_TRUE(AddressBookEntries(books.path(S("missing"))).isEmpty());

    AddressPreselection pre = PreselectAddresses(entries, S("SMITH,jones"));
    EXPECT_EQ(pre.Selected, std::vector<int>{1});
    EXPECT_EQ(pre.Missing, QStringList{S("SMITH")});
    EXPECT_EQ(SelectedAddresses(entries, pre.Selected), S("JONES"));
    pre = PreselectAddresses(entries, S("jones, J.SMITH"));
    EXPECT_EQ(SelectedAddresses(entries, pre.Selected), S("J.SMITH,JONES"));
    EXPECT_EQ(SelectedAddresses(entries, {}), S(""));
    // Without books every name is missing.
    EXPECT_EQ(PreselectAddresses({}, S("A,B")).Missing, (QStringList{S("A"), S("B")}));
}

TEST_F(EditControlsTest, IncludeFileNames) {
    G.gFixedDrives = ListDrives();
    const QString folder = dir.path();
    if (!OnFixedDrive(folder)) GTEST_SKIP() << "the temporary folder is not on a fixed drive here";
    struct Case {
        QString name;
        bool valid;
    } cases[] = {
        {folder + S("/out.txt"), true},
        {folder + S("/job-&RUNDATE&.log"), true},
        {folder + S("/*.lst"), true},
        {folder + S("/report?.txt"), true},
        {folder + S("/missing/out.txt"), false},
        {folder + S("/"), false},
        {S("out.txt"), false},
        {S("/a"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IncludeFileNameValid(c.name), c.valid) << c.name.toStdString();
}

}  // namespace
