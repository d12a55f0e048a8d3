#include "tests/support/stopreason.h"

#include "common/fatal.h"

#include <gtest/gtest.h>

QString StopReason(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const FatalStop& stop) {
        return stop.reason();
    }
    ADD_FAILURE() << "expected a fatal stop";
    return QString();
}
