#include "platform/shell.h"

#include "tests/support/openeronpath.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellOpen, PassesTheTargetAsOneArgument) {
    struct Case {
        const char* target;
        const char* recorded;
    };
    const Case cases[] = {
        {"/srv/help/Schedule Update Form.htm", "/srv/help/Schedule Update Form.htm\n"},
        {"https://example.org/a?b=c&d", "https://example.org/a?b=c&d\n"},
        {"-odd name.htm", "./-odd name.htm\n"},
        {"/data/\xc3\xa9t\xc3\xa9 \"q\".txt", "/data/\xc3\xa9t\xc3\xa9 \"q\".txt\n"},
    };
    for (const Case& c : cases) {
        OpenerOnPath opener;
        QString error;
        EXPECT_TRUE(ShellOpen(S(c.target), &error)) << c.target << ": " << error.toStdString();
        EXPECT_EQ(opener.waitRecord(), S(c.recorded)) << c.target;
    }
}

TEST(ShellOpen, FailsWhenNothingCanBeStarted) {
    TempDir empty;
    {
        ScopedEnv path("PATH", empty.path().toUtf8());
        QString error;
        EXPECT_FALSE(ShellOpen(S("/tmp/page.htm"), &error));
        EXPECT_TRUE(error.contains(S("xdg-open"))) << error.toStdString();
    }
    {
        // An xdg-open that is not executable is not started either.
        empty.write(S("xdg-open"), "#!/bin/sh\n");
        ScopedEnv path("PATH", empty.path().toUtf8());
        EXPECT_FALSE(ShellOpen(S("/tmp/page.htm")));
    }
    QString error;
    EXPECT_FALSE(ShellOpen(QString(), &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
