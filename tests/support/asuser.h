#pragma once

#include <QString>

#include <gtest/gtest.h>

// Permissions bind every user but root, and the tests run as root in CI: a
// test that shows what a read-only file or folder does runs itself again as
// the user "nobody".

/// What a test that needs a user other than root does next.
struct UserRun {
    enum Kind {
        Here,         ///< not root: the test goes on in this process
        RanAsNobody,  ///< root: the test ran as nobody in a child, see failed and text
        Skip,         ///< root, and the child could not run: text says why
    };
    Kind kind = Here;
    bool failed = false;
    /// The child's output when it failed; the reason when skipped.
    QString text;
};

/// As root, runs the current test alone again in a child process of this
/// test program as the user nobody (setpriv), with a home folder of its own
/// and no XDG folders of root's; Here for any other user.
UserRun RunCurrentTestAsUser();

/// First statement of a test that needs a user other than root: as root the
/// test ends here with the outcome of its run as nobody (a failure there is a
/// failure here), or is skipped saying why it could not run.
#define MRV_RUN_AS_USER()                                                            \
    do {                                                                             \
        const UserRun mrvRun = RunCurrentTestAsUser();                               \
        if (mrvRun.kind == UserRun::Skip) GTEST_SKIP() << mrvRun.text.toStdString(); \
        if (mrvRun.kind == UserRun::RanAsNobody) {                                   \
            if (mrvRun.failed) ADD_FAILURE() << mrvRun.text.toStdString();           \
            return;                                                                  \
        }                                                                            \
    } while (false)
