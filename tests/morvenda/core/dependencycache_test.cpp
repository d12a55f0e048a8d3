#include "common/constants.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/dependencypass.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The dependency results, kept in caches, against a plain recomputation over
// the records, through random schedules changed in every way the program and
// its tests change them.

const char* const kNames[] = {"A", "b", " C ", "D", "e", "F", "GG", "h ", "X"};

struct Plain {
    static int Find(const QString& name) {
        const QString key = name.trimmed().toUpper();
        if (key.isEmpty()) return 0;
        for (int j = 1; j <= JobCount(); ++j)
            if (Job(j).JobName.trimmed().toUpper() == key) return j;
        return 0;
    }

    struct Entry {
        int job;
        QChar letter;
        bool never;
    };

    static void AddEntries(int j, std::vector<Entry>& out, std::vector<bool>* seen) {
        const JobRec& J = Job(j);
        for (qsizetype k = 0; k < J.RunAfter.size(); ++k) {
            const int p = Find(J.RunAfter[k]);
            if (p == 0 || (seen && (*seen)[static_cast<size_t>(p)])) continue;
            const QChar letter = k < J.RunAfterStatus.size() ? J.RunAfterStatus[k].toUpper() : QChar();
            out.push_back({p, letter, k < J.RunAfterUnsched.size() && J.RunAfterUnsched[k].toUpper() == u'Y'});
            if (seen) (*seen)[static_cast<size_t>(p)] = true;
        }
    }

    // The closure: the own entries whole, then each named job's entries not
    // reached before, in the order reached.
    static std::vector<Entry> Closure(int j) {
        std::vector<Entry> list;
        if (j < 1 || j > JobCount()) return list;
        AddEntries(j, list, nullptr);
        std::vector<bool> seen(static_cast<size_t>(JobCount()) + 1), expanded(seen);
        for (const Entry& e : list) seen[static_cast<size_t>(e.job)] = true;
        for (size_t i = 0; i < list.size(); ++i) {
            if (expanded[static_cast<size_t>(list[i].job)]) continue;
            expanded[static_cast<size_t>(list[i].job)] = true;
            AddEntries(list[i].job, list, &seen);
        }
        return list;
    }

    static QString Check(int j, QString& text) {
        QStringList waits;
        bool never = false;
        for (const Entry& e : Closure(j)) {
            const int s = Job(e.job).JobState;
            QString word;
            if (s == jsRunning) word = QStringLiteral("Running");
            if (s == jsScheduled) word = QStringLiteral("Not Started");
            if (s == jsSubmitFailed) word = QStringLiteral("Submit Failed");
            if (s == jsAborted && e.letter == u'S') word = QStringLiteral("Failed");
            if ((s == jsCompleted || s == jsUnscheduled) && e.letter == u'F') word = QStringLiteral("Succeeded");
            if (word.isEmpty()) continue;
            never = never || (e.never && (word == QLatin1String("Failed") || word == QLatin1String("Succeeded")));
            waits << Job(e.job).JobName.trimmed() + u'(' + (e.letter.isNull() ? QString() : QString(e.letter)) +
                         QStringLiteral(") - ") + word;
        }
        text = waits.join(QStringLiteral(", "));
        return waits.isEmpty() ? gDepMet : never ? gDepNever : gDepWait;
    }

    // Find mode: a job of exactly that trimmed name lies in the closure.
    static QString Finds(int j, const QString& name) {
        for (const Entry& e : Closure(j))
            if (Job(e.job).JobName.trimmed() == name.trimmed()) return gDepFound;
        return QString();
    }
};

struct Fuzz {
    std::mt19937 rnd;
    int checks = 0;
    int wrong = 0;

    int Pick(int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); }
    QString Name() { return QString::fromUtf8(kNames[Pick(9)]); }

    JobRec Random() {
        JobBuilder b(Name());
        b.with([&](JobRec& J) {
            J.JobState = static_cast<std::uint8_t>(Pick(8));
            for (int k = Pick(4); k > 0; --k) {
                J.RunAfter << (Pick(12) == 0 ? QStringLiteral(" ") : Name());
                J.RunAfterStatus += QString::fromUtf8("SFUsfX").at(Pick(6));
                J.RunAfterUnsched += Pick(2) ? u'Y' : u'N';
            }
            if (Pick(6) == 0) J.RunAfterStatus.chop(1);
        });
        return b.rec();
    }

    void Expect(bool same) {
        ++checks;
        if (!same) ++wrong;
    }

    // Every job against the plain results; Direct: a field was written since
    // the last pass start, which the pass's results may not show yet, nor
    // FindJob which of several jobs of one name it finds.
    void Compare(bool Direct) {
        for (int j = 0; j <= JobCount() + 1; ++j) {
            const QString name = j <= JobCount() ? Job(j).JobName : Name();
            const int found = FindJob(name), plain = Plain::Find(name);
            Expect(found == plain || (Direct && found > 0 && Plain::Find(Job(found).JobName) == plain));
            QString text, plainText, line;
            const QString r = CheckDependency(j, text, false);
            const QString p = Plain::Check(j, plainText);
            Expect(r == p && text == plainText);
            QString wanted = Name();
            Expect(CheckDependency(j, wanted, true) == Plain::Finds(j, wanted));
            if (Direct) continue;
            Expect(CheckDependencyInPass(j, text) == p && text == plainText);
            Expect(WaitJobInPass(j, line) == p &&
                   line == (p == gDepMet ? QString() : QStringLiteral("Wait Job (") + plainText + u')'));
        }
    }

    void Step(bool& direct) {
        const int n = JobCount();
        const int j = n > 0 ? 1 + Pick(n) : 0;
        switch (Pick(11)) {
            case 0:
                G.Jobs.push_back(Random());
                break;
            case 1:
                if (j) G.Jobs.erase(G.Jobs.begin() + j);
                break;
            case 2:
                if (j > 1) G.Jobs.Swap(j, j - 1);
                break;
            case 3:
                if (j && j < n) G.Jobs.Move(j, 1 + Pick(n));
                break;
            case 4:
                if (j) RenameJob(j, Name());
                break;
            case 5:
                if (j) Job(j).JobName = Name(), direct = true;
                break;
            case 6:
                if (j) SetJobState(j, Pick(8));
                break;
            case 7:
                if (j) Job(j).JobState = static_cast<std::uint8_t>(Pick(8)), direct = true;
                break;
            case 8:
                if (j) Job(j).RunAfter = Random().RunAfter, direct = true;
                break;
            case 9:
                if (j) Job(j).RunAfterStatus = Random().RunAfterStatus, direct = true;
                break;
            default: {
                JobTable t(1);
                for (int k = Pick(25); k > 0; --k) t.push_back(Random());
                G.Jobs = t;
            }
        }
    }
};

TEST(DependencyCacheTest, RandomChangesNeverLeaveAStaleResult) {
    Fuzz f;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        ResetState();
        f.rnd.seed(seed);
        for (int k = f.Pick(20); k > 0; --k) G.Jobs.push_back(f.Random());
        bool direct = true;
        for (int step = 0; step < 150; ++step) {
            f.Step(direct);
            // The kick pass starts now and then, and checks some jobs.
            if (f.Pick(2) == 0) {
                BeginDependencyPass();
                direct = false;
            }
            f.Compare(direct);
        }
    }
    ResetState();
    EXPECT_GE(f.checks, 100000);
    EXPECT_EQ(f.wrong, 0) << "of " << f.checks << " checks";
}

}  // namespace
