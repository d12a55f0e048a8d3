#include "morvenda/core/jobdoc.h"

#include "common/constants.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/state.h"
#include "tests/support/openeronpath.h"
#include "tests/support/statefixture.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>

#include <gtest/gtest.h>

// Documentation files of jobs, opened through a stand-in xdg-open.

namespace {

class JobDocTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gIniFile = S("/etc/sched/PAY.ini");
        G.gJobDocPath = dir.path(S("run docs"));  // a folder with a blank in its name
        G.Jobs.resize(3);
        G.Jobs[1].JobName = S("PAYROLL");
        G.Jobs[1].JobDesc = S("  Monthly payroll run  ");
        G.Jobs[2].JobName = S("NODESC");
        QDir().mkpath(G.gJobDocPath);
    }
    QString doc(const char* name) const { return dir.path(S("run docs/") + S(name) + S(".rtd")); }
    bool open(const char* name) {
        return OpenJobDoc(S(name), [this](const QString& text) { clipboard = text; });
    }

    OpenerOnPath opener;
    QString clipboard;
};

TEST_F(JobDocTest, WithoutAFolderNothingOpens) {
    for (const char* setting : {"", "  ", "*missing*"}) {
        G.gJobDocPath = S(setting);
        prompts.messages.clear();
        EXPECT_FALSE(open("PAYROLL")) << setting;
        EXPECT_EQ(prompts.messages, QStringList{S("No Runtime Documentation Path specification in /etc/sched/PAY.ini")})
            << setting;
    }
}

TEST_F(JobDocTest, FirstOpenCopiesTheTemplateAndOffersTheDescription) {
    dir.write(S("run docs/template.rtd"), "Call the payroll team\r\n");
    prompts.queueAnswer(MsgAnswer::Yes);
    ASSERT_TRUE(open("payroll "));
    EXPECT_EQ(prompts.messages, QStringList{S("New Job Documentation file created.  Would you like the job "
                                              "description putting on the Windows clipboard?")});
    EXPECT_EQ(clipboard, S("Monthly payroll run"));
    EXPECT_EQ(dir.read(doc("payroll")), QByteArray("Call the payroll team\r\n"));
    EXPECT_EQ(opener.waitRecord(), doc("payroll") + S("\n"));

    // The second open goes straight to the editor and leaves the file alone.
    prompts.messages.clear();
    clipboard.clear();
    dir.write(S("run docs/payroll.rtd"), "edited");
    ASSERT_TRUE(open("payroll"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(dir.read(doc("payroll")), QByteArray("edited"));
    EXPECT_EQ(opener.waitRecord(), doc("payroll") + S("\n"));

    // No: nothing goes to the clipboard.
    prompts.queueAnswer(MsgAnswer::No);
    ASSERT_TRUE(open("PAYROLL"));
    EXPECT_TRUE(clipboard.isEmpty());
}

TEST_F(JobDocTest, WithoutTemplateOrDescription) {
    // No template, no description: an empty document and no empty question.
    ASSERT_TRUE(open("NODESC"));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("|")).toStdString();
    EXPECT_TRUE(QFile::exists(doc("NODESC")));
    EXPECT_EQ(opener.waitRecord(), doc("NODESC") + S("\n"));

    // A name FindJob does not know reads no record: no description offered.
    ASSERT_TRUE(open("GHOST"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    opener.waitRecord();

    // A template that cannot be read leaves an empty document and says so.
    dir.write(S("run docs/template.rtd"), "x");
    QFile(dir.path(S("run docs/template.rtd"))).setPermissions(QFileDevice::WriteOwner);
    if (!QFile(dir.path(S("run docs/template.rtd"))).open(QIODevice::ReadOnly)) {  // not when run as root
        prompts.queueAnswer(MsgAnswer::No);
        ASSERT_TRUE(open("PAYROLL"));
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0], S("Failed to create Job Documentation file from template.  Empty file "
                                         "created.\n\n  Would you like the job description putting on the "
                                         "Windows clipboard?"));
        EXPECT_EQ(dir.read(doc("PAYROLL")), QByteArray("\r\n"));
    }
}

// xdg-open takes the type of a document with an unknown extension from its
// content, and an empty file has none (it went to the web browser): a
// document that would open empty holds one empty line, which the MIME
// database (the one the desktop uses) reads as plain text.
TEST_F(JobDocTest, ADocumentThatWouldBeEmptyOpensAsText) {
    const struct {
        const char* why;
        const char* templateText;  // nullptr: no template
        const char* existing;      // nullptr: no document yet
        QByteArray opened;
    } cases[] = {
        {"no template", nullptr, nullptr, "\r\n"},
        {"an empty template", "", nullptr, "\r\n"},
        {"a document emptied by hand", nullptr, "", "\r\n"},
        {"a document with text", nullptr, "notes", "notes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(doc("NODESC"));
        QFile::remove(dir.path(S("run docs/template.rtd")));
        if (c.templateText) dir.write(S("run docs/template.rtd"), c.templateText);
        if (c.existing) dir.write(S("run docs/NODESC.rtd"), c.existing);
        ASSERT_TRUE(open("NODESC"));
        EXPECT_EQ(opener.waitRecord(), doc("NODESC") + S("\n"));
        EXPECT_EQ(dir.read(doc("NODESC")), c.opened);
        EXPECT_EQ(QMimeDatabase().mimeTypeForFile(doc("NODESC")).name(), S("text/plain"));
    }
}

TEST_F(JobDocTest, AFailureToOpenIsReported) {
    ScopedEnv noPath("PATH", "/nonexistent");
    EXPECT_FALSE(open("NODESC"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(S("xdg-open not found"))) << prompts.messages[0].toStdString();

    // A folder that is not there: the document cannot be made, and says so.
    G.gJobDocPath = dir.path(S("gone"));
    EXPECT_FALSE(open("NODESC"));
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(prompts.messages[1].startsWith(S("Cannot write"))) << prompts.messages[1].toStdString();
}

TEST_F(JobDocTest, RenameFollowsTheJobAndNeverReplaces) {
    dir.write(S("run docs/PAYROLL.rtd"), "pay");
    RenameJobDoc(S("PAYROLL"), S("WAGES"));
    EXPECT_EQ(prompts.messages.back(), S("Job Runtime Documentation file renamed in line with job name change."));
    EXPECT_EQ(dir.read(doc("WAGES")), QByteArray("pay"));
    EXPECT_FALSE(QFile::exists(doc("PAYROLL")));

    dir.write(S("run docs/SALARY.rtd"), "salary");
    RenameJobDoc(S("WAGES"), S("SALARY"));
    EXPECT_EQ(prompts.messages.back(), S("Attempted Runtime Documentation file rename failed"));
    EXPECT_EQ(dir.read(doc("WAGES")), QByteArray("pay"));
    EXPECT_EQ(dir.read(doc("SALARY")), QByteArray("salary"));

    // Nothing to rename, or no folder: no message at all.
    prompts.messages.clear();
    RenameJobDoc(S("NOSUCH"), S("OTHER"));
    G.gJobDocPath = gMissingMark;
    RenameJobDoc(S("WAGES"), S("OTHER"));
    G.gJobDocPath.clear();
    RenameJobDoc(S("WAGES"), S("OTHER"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

}  // namespace
