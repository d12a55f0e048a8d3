#include "tests/support/testing.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

// Every help topic a window of the scheduler names has its page where the
// program looks for it by default: "help/<topic>.htm" beside the program.

namespace {

TEST(HelpPages, EveryTopicTheWindowsNameHasItsPage) {
    const QString source = qEnvironmentVariable("MRV_TEST_SOURCE_DIR");
    const QString build = qEnvironmentVariable("MRV_BUILD_DIR");
    ASSERT_FALSE(source.isEmpty());
    ASSERT_FALSE(build.isEmpty());
    static const QRegularExpression call(QStringLiteral("ShowHelp\\(QStringLiteral\\(\"([^\"]+)\"\\)\\)"));
    static const QRegularExpression tab(QStringLiteral("\"(Job Edit Form - [A-Za-z ]+ Tab)\""));
    QSet<QString> topics;
    QDirIterator it(source + S("/morvenda"), {S("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = call.globalMatch(text); m.hasNext();) topics.insert(m.next().captured(1));
        // The job editor names its tabs' topics in a table.
        for (auto m = tab.globalMatch(text); m.hasNext();) topics.insert(m.next().captured(1));
    }
    EXPECT_TRUE(topics.contains(S("Startup")));
    EXPECT_TRUE(topics.contains(S("Schedule Execution Form")));
    EXPECT_TRUE(topics.contains(S("Job Edit Form - Timing Tab")));
    for (const QString& topic : topics) {
        QFile page(build + S("/morvenda/help/") + topic + S(".htm"));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << topic.toStdString();
        const QByteArray html = page.readAll();
        EXPECT_TRUE(html.contains("<h1>") && html.contains("<li>")) << topic.toStdString();
    }
}

}  // namespace
