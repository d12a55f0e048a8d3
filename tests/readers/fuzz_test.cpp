#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "common/textfile.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/pubhols.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/startup/startup.h"
#include "mrvemail/emailconfig.h"
#include "mrvemail/messagefile.h"
#include "tests/support/testing.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <random>

// Every reader of files that come from outside the programs (schedule files,
// configuration files, public holidays files, message files) is given
// thousands of damaged copies of real files: it may refuse them, but it must
// never crash, never hang and never write a file.

namespace {

constexpr int kInputsPerSeed = 1000;

// Damages a copy of Seed: a few edits, each a byte replaced by one that
// matters to these formats, a run cut out or doubled, a long run put in, or
// the end cut off.
class Mutator {
public:
    explicit Mutator(unsigned seed) : rng_(seed) {}

    QByteArray operator()(QByteArray b) {
        static const char kSpecials[] = "\"\t,\r\n\0\xff\xac=[];~%&  \\/*?.-:0123456789";
        static const QByteArray specials(kSpecials, sizeof kSpecials - 1);
        const int edits = 1 + pick(4);
        for (int e = 0; e < edits; ++e) {
            const int at = b.isEmpty() ? 0 : pick(static_cast<int>(b.size()));
            switch (pick(7)) {
                case 0:
                case 1:
                    if (!b.isEmpty()) b[at] = specials[pick(static_cast<int>(specials.size()))];
                    break;
                case 2:
                    if (!b.isEmpty()) b[at] = static_cast<char>(pick(256));
                    break;
                case 3:
                    b.remove(at, pick(40));
                    break;
                case 4:
                    b.insert(at, b.mid(at, pick(200)));
                    break;
                case 5:
                    b.insert(at, QByteArray(1 + pick(6000), specials[pick(static_cast<int>(specials.size()))]));
                    break;
                default:
                    b.truncate(at);
                    break;
            }
        }
        return b;
    }

private:
    int pick(int n) { return n <= 0 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    std::mt19937 rng_;
};

// What a folder holds: every file's name and a hash of its bytes.
QStringList Snapshot(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        QFile file(f);
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        out << f + QLatin1Char(' ') +
                   QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    }
    out.sort();
    return out;
}

class ReaderFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        JobTableChanged();
        InstallDemo(demo);
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
        G.gRunDayStart = G.gRunDate;
    }
    void TearDown() override {
        ResetState();
        JobTableChanged();
    }

    // Runs Read on kInputsPerSeed damaged copies of each seed, written as
    // the file Name of a folder of their own; the folder must be unchanged
    // afterwards. Returns the number of inputs tried.
    int fuzz(const char* what, const QList<QByteArray>& seeds, const QString& name,
             const std::function<void(const QString& path, const QByteArray& bytes)>& read) {
        SCOPED_TRACE(what);
        int tried = 0;
        unsigned seedNo = 0;
        for (const QByteArray& seed : seeds) {
            Mutator mutate(0x5eed0000u + seedNo++);
            for (int i = 0; i < kInputsPerSeed; ++i) {
                const QByteArray input = i == 0 ? seed : mutate(seed);
                const QString path = work.write(name, input);
                const QStringList before = Snapshot(work.path());
                try {
                    read(path, input);
                } catch (const FatalStop&) {
                    // Refusing a file is what a reader may do.
                }
                const QStringList after = Snapshot(work.path());
                if (after != before) {
                    ADD_FAILURE() << what << " input " << i << " of seed " << seedNo << " changed the folder:\n"
                                  << before.join(QLatin1Char('\n')).toStdString() << "\n--\n"
                                  << after.join(QLatin1Char('\n')).toStdString();
                    return tried;
                }
                ++tried;
            }
        }
        return tried;
    }

    TempDir demo;
    TempDir work;
    TempDir config;
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().toLocal8Bit()};
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 10, 0, 0)};
    ScriptedPrompter prompts;
};

TEST_F(ReaderFuzz, NoReaderCrashesHangsOrWrites) {
    int total = 0;

    // Schedule files: the demo's, an older comma line and a line that is no job.
    QStringList comma(kScheduleColumns);
    comma[0] = S("OLD");
    comma[1] = S("copy a%b c");
    comma[6] = S("FIRST SECOND");
    comma[21] = S("\"Subj,body,,,,\"");
    total += fuzz("schedule file",
                  {demo.read(S("DEMO/DEMO.sch")), comma.join(QLatin1Char(',')).toLatin1() + "\r\n",
                   demo.read(S("DEMO/DEMO.sch")) + "THIS IS A GARBAGE LINE, not a job at all\r\n"},
                  S("sched.sch"), [](const QString& path, const QByteArray&) {
                      G.gSchedFile = path;
                      LoadSchedule();
                      // What was read is written the same way again.
                      for (int j = 1; j <= JobCount(); ++j) {
                          const JobRec& J = Job(j);
                          JobRec back;
                          QString error;
                          ASSERT_TRUE(ParseScheduleLine(ScheduleLine(J), QLatin1Char('\t'), &back, &error))
                              << error.toStdString();
                          EXPECT_EQ(ScheduleLine(back), ScheduleLine(J));
                      }
                  });

    // Configuration files: the schedule's and the e-mailer's. Every key reads,
    // the start-up check accepts or refuses without writing, and an INI
    // document gives back every byte it read.
    total += fuzz("configuration file", {demo.read(S("DEMO/DEMO.ini")), demo.read(S("@Email/MRVEmail.ini"))},
                  S("conf.ini"), [](const QString& path, const QByteArray& bytes) {
                      EXPECT_EQ(IniDocument::fromBytes(bytes).toBytes(), bytes);
                      const IniDocument doc = IniDocument::load(path);
                      for (const char* key : {"ScheduleName", "ScheduleFile", "TimerSecs", "EmailPath"})
                          (void)doc.value(gAppName, QString::fromLatin1(key));
                      (void)doc.entries(gEmailSection);
                      EmailConfig cfg;
                      (void)LoadEmailConfig(path, &cfg);
                      QString why;
                      (void)ReadSmtpSettings(path, QString(), &why);
                      CheckScheduleIni(path);
                  });

    // Public holidays files.
    total += fuzz("public holidays file", {demo.read(S("PubHols.phf"))}, S("hols.phf"),
                  [](const QString& path, const QByteArray&) {
                      G.gPubHolsFile = path;
                      CheckPubHolFile();
                  });

    // End-of-job message files, with every keyword and option.
    const QByteArray message =
        "TO=ann@example.org;Bob <bob@example.org>\r\nCC=ops@example.org\r\nSUBJ=Job ended\r\n"
        "BODY=Hello~\r\nBODY=World\r\nMBB=6000\r\nSIND=YES\r\nATT=" +
        demo.path(S("PubHols.phf")).toUtf8() + ",NOF=S,DEL=NO\r\nEMB=" + demo.path(S("DEMO/*.ini")).toUtf8() +
        ",ENV=--,EMPTY=R,NOF=E\r\n";
    total += fuzz("message file", {message}, S("MSGx0000.eml"), [](const QString& path, const QByteArray&) {
        QStringList lines;
        if (ReadTextLines(path, &lines)) (void)ParseEojMessage(lines);
    });

    std::cout << "[ inputs   ] " << total << " damaged inputs tried" << std::endl;
    RecordProperty("inputs", total);
    EXPECT_EQ(total, kInputsPerSeed * 7);
}

}  // namespace
