#include "gui/controls.h"

#include "tests/support/testing.h"

#include <gtest/gtest.h>

namespace {

// Every program names its controls for screen readers by this one rule.
TEST(AccessibleCaption, DropsMnemonicMarksAndColonsKeepsDoubledAmpersands) {
    const struct {
        const char* caption;
        const char* name;
    } cases[] = {{"&Group:", "Group"},
                 {"Save && Close", "Save & Close"},
                 {"&&&Yes", "&Yes"},
                 {" Sub&ject : ", "Subject"},
                 {"&", ""},
                 {"a&&", "a&"}};
    for (const auto& c : cases) EXPECT_EQ(AccessibleCaption(S(c.caption)), S(c.name)) << c.caption;
}

}  // namespace
