#include "morvenda/core/dependency.h"
#include "morvenda/core/dependencypass.h"
#include "morvenda/core/jobnames.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

class DependencyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetState(); }
    void TearDown() override { ResetState(); }

    // Adds a job; each dependency is "NAME:LETTER:FLAG" (letter and flag optional).
    int Add(const char* name, std::initializer_list<const char*> deps = {}, std::uint8_t state = jsScheduled) {
        JobRec j;
        j.JobName = QString::fromUtf8(name);
        for (const char* d : deps) {
            const QStringList parts = QString::fromUtf8(d).split(QLatin1Char(':'));
            j.RunAfter << parts.value(0);
            j.RunAfterStatus += parts.value(1, QStringLiteral("S"));
            j.RunAfterUnsched += parts.value(2, QStringLiteral("N"));
        }
        j.JobState = state;
        G.Jobs.push_back(j);
        return JobCount();
    }

    JobRec& Job(const char* name) { return ::Job(FindJob(QString::fromUtf8(name))); }
    JobRec& Job(int k) { return ::Job(k); }

    std::pair<QString, QString> Check(int job) {
        QString text = QStringLiteral("left over");
        const QString r = CheckDependency(job, text, false);
        return {r, text};
    }

    ScriptedPrompter prompter;
};

TEST_F(DependencyTest, EachLetterAgainstEachState) {
    // Expected wait word per state 0..7 ("" = met) and whether a "Y" flag
    // makes it never-met.
    struct Row {
        const char* letter;
        const char* words[8];
        bool never[8];
    } rows[] = {
        {"S",
         {"Not Started", "Running", "", "", "Submit Failed", "", "Failed", ""},
         {false, false, false, false, false, false, true, false}},
        {"F",
         {"Not Started", "Running", "Succeeded", "", "Submit Failed", "", "", "Succeeded"},
         {false, false, true, false, false, false, false, true}},
        {"U",
         {"Not Started", "Running", "", "", "Submit Failed", "", "", ""},
         {false, false, false, false, false, false, false, false}},
    };
    for (const Row& row : rows) {
        for (const char* flag : {"Y", "N"}) {
            for (int state = 0; state < 8; ++state) {
                ResetState();
                const QString dep = QStringLiteral("JOBB:%1:%2").arg(QLatin1String(row.letter), QLatin1String(flag));
                const int a = Add("JOBA", {dep.toUtf8().constData()});
                Add("JOBB", {}, static_cast<std::uint8_t>(state));
                const auto [r, text] = Check(a);
                const QString word = QString::fromUtf8(row.words[state]);
                const bool never = row.never[state] && QLatin1String(flag) == QLatin1String("Y");
                const QString expected = never ? gDepNever : word.isEmpty() ? gDepMet : gDepWait;
                SCOPED_TRACE(std::string(row.letter) + " flag " + flag + " state " + std::to_string(state));
                EXPECT_EQ(r, expected);
                EXPECT_EQ(text, word.isEmpty() ? QString()
                                               : QStringLiteral("JOBB(") + QLatin1String(row.letter) +
                                                     QStringLiteral(") - ") + word);
            }
        }
    }
}

TEST_F(DependencyTest, NoDependenciesAndUnknownNamesAreMet) {
    const int a = Add("JOBA");
    EXPECT_EQ(Check(a), std::make_pair(gDepMet, QString()));
    const int b = Add("JOBB", {"ELSEWHERE:S:Y", "  :S:Y"});
    EXPECT_EQ(Check(b), std::make_pair(gDepMet, QString()));
}

TEST_F(DependencyTest, ClosureReachesThroughAChainWithFirstLetterKept) {
    const int a = Add("JOBA", {"JOBB:S"});
    Add("JOBB", {"JOBC:F"}, jsCompleted);
    Add("JOBC", {}, jsScheduled);
    // JOBB is done, but JOBA still waits for JOBC to fail.
    EXPECT_EQ(Check(a), std::make_pair(gDepWait, QStringLiteral("JOBC(F) - Not Started")));
    Job("JOBC").JobState = jsAborted;
    EXPECT_EQ(Check(a).first, gDepMet);
    Job("JOBC").JobState = jsCompleted;
    EXPECT_EQ(Check(a), std::make_pair(gDepWait, QStringLiteral("JOBC(F) - Succeeded")));

    // A name reached twice keeps the letter it was first added with: JOBA's
    // own "S" on JOBC wins over JOBB's "F".
    Job("JOBA").RunAfter << QStringLiteral("jobc");
    Job("JOBA").RunAfterStatus += QLatin1Char('S');
    Job("JOBA").RunAfterUnsched += QLatin1Char('N');
    EXPECT_EQ(Check(a), std::make_pair(gDepMet, QString()));
}

TEST_F(DependencyTest, WaitTextListsEveryPendingEntryInOrder) {
    const int a = Add("JOBA", {"PAYROLL:S", "BACKUP:F", "DONE:S"});
    Add("PAYROLL", {}, jsRunning);
    Add("BACKUP", {}, jsCompleted);
    Add("DONE", {}, jsCompleted);
    EXPECT_EQ(Check(a), std::make_pair(gDepWait, QStringLiteral("PAYROLL(S) - Running, BACKUP(F) - Succeeded")));
}

TEST_F(DependencyTest, CycleEndsWithEachNameOnce) {
    const int a = Add("JOBA", {"JOBB:S"});
    Add("JOBB", {"JOBA:S"});
    EXPECT_EQ(Check(a), std::make_pair(gDepWait, QStringLiteral("JOBB(S) - Not Started, JOBA(S) - Not Started")));
    QString find = QStringLiteral("JOBA");
    EXPECT_EQ(CheckDependency(a, find, true), gDepFound);
}

TEST_F(DependencyTest, BlankEntriesAreSkippedAndReportedOnce) {
    TempDir dir;
    G.gLogFile = dir.path(QStringLiteral("run.log"));
    const int a = Add("JOBA", {"JOBB:S", " :S"});
    Add("JOBB", {"JOBC:S", " :S"});
    Add("JOBC", {}, jsRunning);
    EXPECT_EQ(Check(a), std::make_pair(gDepWait, QStringLiteral("JOBB(S) - Not Started, JOBC(S) - Running")));
    EXPECT_EQ(Check(a), std::make_pair(gDepWait, QStringLiteral("JOBB(S) - Not Started, JOBC(S) - Running")));
    const QByteArray log = dir.read(QStringLiteral("run.log"));
    EXPECT_EQ(log.count("Empty RunAfter entry for job JOBB skipped."), 1);
    EXPECT_EQ(log.count("Empty RunAfter entry for job JOBA skipped."), 1);
}

TEST_F(DependencyTest, FindModeLooksThroughTheClosure) {
    const int a = Add("JOBA", {"JOBB:S", "OUTSIDE:S"});
    Add("JOBB", {"JOBC:U"}, jsCompleted);
    Add("JOBC", {}, jsCompleted);
    Add("JOBD");
    struct Case {
        const char* name;
        QString result;
    } cases[] = {{"JOBC", gDepFound}, {" JOBB ", gDepFound}, {"JOBD", QString()}, {"OUTSIDE", QString()}};
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.name);
        EXPECT_EQ(CheckDependency(a, text, true), c.result) << c.name;
        EXPECT_EQ(text, QString::fromUtf8(c.name)) << "find mode leaves the name";
    }
}

TEST_F(DependencyTest, FindJobIgnoresCaseAndBlanks) {
    Add("PAYROLL");
    Add("BACKUP");
    Add("backup");  // a duplicate: the first one is found
    EXPECT_EQ(FindJob(QStringLiteral("payroll")), 1);
    EXPECT_EQ(FindJob(QStringLiteral("  Backup ")), 2);
    EXPECT_EQ(FindJob(QStringLiteral("NOSUCH")), 0);
    EXPECT_EQ(FindJob(QString()), 0);
    EXPECT_EQ(FindJob(QStringLiteral("   ")), 0);
}

TEST_F(DependencyTest, FindJobFollowsChangesOfTheTable) {
    Add("JOBA");
    Add("JOBB");
    Add("JOBC");
    EXPECT_EQ(FindJob(QStringLiteral("JOBB")), 2);

    // Renamed by a write into the record.
    G.Jobs[2].JobName = QStringLiteral("JOBX");
    EXPECT_EQ(FindJob(QStringLiteral("JOBX")), 2);
    EXPECT_EQ(FindJob(QStringLiteral("JOBB")), 0);

    // Moved without announcement: a stale hit is caught by its check.
    std::swap(G.Jobs[1], G.Jobs[3]);
    EXPECT_EQ(FindJob(QStringLiteral("JOBA")), 3);
    EXPECT_EQ(FindJob(QStringLiteral("JOBC")), 1);

    // Grown without announcement: the new size is noticed.
    JobRec d;
    d.JobName = QStringLiteral("JOBD");
    G.Jobs.push_back(d);
    EXPECT_EQ(FindJob(QStringLiteral("JOBD")), 4);

    // A fresh state with a table of the same size and other names.
    ResetState();
    for (const char* n : {"P1", "P2", "P3", "P4"}) {
        JobRec j;
        j.JobName = QString::fromUtf8(n);
        G.Jobs.push_back(j);
    }
    EXPECT_EQ(FindJob(QStringLiteral("JOBD")), 0);
    EXPECT_EQ(FindJob(QStringLiteral("P3")), 3);
}

TEST_F(DependencyTest, FindJobTellsApartNamesOfTheSameHash) {
    // These two keys share the index's hash: each is found as itself, and a
    // look-up of one never takes the other for a stale entry.
    Add("YAGK3NEE");
    Add("d52jy6cd");
    EXPECT_EQ(FindJob(QStringLiteral("D52JY6CD")), 2);
    EXPECT_EQ(FindJob(QStringLiteral("yagk3nee")), 1);
    // Renamed unannounced: the entry left under the old hash is noticed.
    G.Jobs[1].JobName = QStringLiteral("OTHER");
    EXPECT_EQ(FindJob(QStringLiteral("D52JY6CD")), 2);
    EXPECT_EQ(FindJob(QStringLiteral("OTHER")), 1);
    EXPECT_EQ(FindJob(QStringLiteral("YAGK3NEE")), 0);
}

TEST_F(DependencyTest, RenameUpdatesDependentsAndDeleteOnlyReports) {
    Add("JOBA", {"JOBB:S", "OTHER:S"});
    Add("JOBB");
    Add("JOBC", {"jobb :F", "JOBB:U"});
    Add("JOBE", {"JOBBB:S", ":S"});

    QString none;  // deletion: only the list of dependants
    UpdateDependents(QStringLiteral("JOBB"), none);
    EXPECT_EQ(none, QStringLiteral(", JOBA, JOBC, JOBC"));
    EXPECT_EQ(Job("JOBC").RunAfter, QStringList({QStringLiteral("jobb "), QStringLiteral("JOBB")}));
    EXPECT_TRUE(prompter.messages.isEmpty());

    QString newName = QStringLiteral("JOBZ");
    UpdateDependents(QStringLiteral("jobb"), newName);
    EXPECT_EQ(Job("JOBA").RunAfter, QStringList({QStringLiteral("JOBZ"), QStringLiteral("OTHER")}));
    EXPECT_EQ(Job("JOBC").RunAfter, QStringList({QStringLiteral("JOBZ"), QStringLiteral("JOBZ")}));
    EXPECT_EQ(Job("JOBE").RunAfter, QStringList({QStringLiteral("JOBBB"), QString()}));
    EXPECT_EQ(prompter.messages,
              QStringList(QStringLiteral("The following job(s): JOBA, JOBC, JOBC  are dependent on this job and their "
                                         "references have been updated accordingly.")));

    // Nothing depends on it: nothing is shown. A blank old name matches no blank entry.
    prompter.messages.clear();
    QString other = QStringLiteral("NEW");
    UpdateDependents(QStringLiteral("JOBE"), other);
    UpdateDependents(QString(), other);
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_EQ(Job("JOBE").RunAfter, QStringList({QStringLiteral("JOBBB"), QString()}));
}

TEST_F(DependencyTest, RenameUpdatesWaitsForTheStandardTriggerFile) {
    Add("JOBA");
    Add("JOBB");
    Add("JOBC");
    Add("JOBD");
    Job("JOBA").WaitForFile = QStringLiteral("..JOBB");
    Job("JOBC").WaitForFile = QStringLiteral(" ..jobb ");
    Job("JOBD").WaitForFile = QStringLiteral("..JOBBB");
    UpdateTriggerDependents(QStringLiteral("JOBB"), QStringLiteral("JOBZ"));
    EXPECT_EQ(Job("JOBA").WaitForFile, QStringLiteral("..JOBZ"));
    EXPECT_EQ(Job("JOBC").WaitForFile, QStringLiteral("..JOBZ"));
    EXPECT_EQ(Job("JOBD").WaitForFile, QStringLiteral("..JOBBB"));
    EXPECT_EQ(prompter.messages,
              QStringList({QStringLiteral("The following job(s): JOBA, JOBC  are dependent on this job's standard "
                                          "trigger file and their references have been updated accordingly."),
                           QStringLiteral("Dependent jobs in other schedules must be updated manually")}));

    prompter.messages.clear();
    UpdateTriggerDependents(QStringLiteral("NOBODY"), QStringLiteral("X"));
    EXPECT_TRUE(prompter.messages.isEmpty());
}

}  // namespace

namespace {

// A schedule of random jobs whose dependencies point at random other jobs.
void RandomSchedule(std::mt19937& rng, int n) {
    const char* letters = "SFU";
    for (int k = 1; k <= n; ++k) {
        JobRec j;
        j.JobName = QStringLiteral("J%1").arg(k);
        const int deps = static_cast<int>(rng() % 4);
        for (int d = 0; d < deps; ++d) {
            j.RunAfter << QStringLiteral("j%1").arg(1 + rng() % static_cast<unsigned>(n + 2));  // some name no job
            j.RunAfterStatus += QLatin1Char(letters[rng() % 3]);
            j.RunAfterUnsched += QLatin1Char(rng() % 2 ? 'Y' : 'N');
        }
        j.JobState = static_cast<std::uint8_t>(rng() % 8);
        G.Jobs.push_back(j);
    }
}

}  // namespace

TEST_F(DependencyTest, PassResultsFollowEveryChangeOfTheTable) {
    // The kick pass's results are given back from earlier passes; after any
    // change between or within passes they must equal a fresh evaluation.
    std::mt19937 rng(20261208);
    RandomSchedule(rng, 60);
    for (int round = 0; round < 400; ++round) {
        const int k = 1 + static_cast<int>(rng() % 60);
        switch (round % 6) {
            case 0:  // state changed between passes
                Job(k).JobState = static_cast<std::uint8_t>(rng() % 8);
                break;
            case 1:  // renamed by a write into the record
                Job(k).JobName = QStringLiteral("J%1").arg(1 + rng() % 62);
                break;
            case 2:  // a prerequisite added
                Job(k).RunAfter << QStringLiteral("J%1").arg(1 + rng() % 60);
                Job(k).RunAfterStatus += QLatin1Char('S');
                Job(k).RunAfterUnsched += QLatin1Char('N');
                break;
            case 3:  // a letter and a flag changed in place
                if (!Job(k).RunAfterStatus.isEmpty()) {
                    Job(k).RunAfterStatus[0] = QLatin1Char("SFU"[rng() % 3]);
                    Job(k).RunAfterUnsched[0] = QLatin1Char(rng() % 2 ? 'Y' : 'N');
                }
                break;
            case 4:  // two jobs swapped
                std::swap(Job(k), Job(1 + static_cast<int>(rng() % 60)));
                break;
            case 5:  // nothing changed: the earlier results stand
                break;
        }
        BeginDependencyPass();
        for (int j = 1; j <= JobCount(); ++j) {
            // A state changed within the pass, as a submission does.
            if (j == k && round % 2) {
                Job(j).JobState = jsRunning;
                JobStateChangedInPass(j);
            }
            QString inPass;
            QString fresh;
            const QString r = CheckDependencyInPass(j, inPass);
            ASSERT_EQ(r, CheckDependency(j, fresh, false)) << "round " << round << " job " << j;
            ASSERT_EQ(inPass, fresh) << "round " << round << " job " << j;
            QString line;
            ASSERT_EQ(WaitJobInPass(j, line), r);
            ASSERT_EQ(line, fresh.isEmpty() ? QString() : QStringLiteral("Wait Job (") + fresh + QLatin1Char(')'))
                << "round " << round << " job " << j;
        }
    }
}
