#include "common/gui/guard.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {
std::function<void(const FatalStop&)> gHandler;
}  // namespace

void GuardFatal(const std::function<void()>& work) {
    try {
        work();
    } catch (const FatalStop& stop) {
        if (gHandler) {
            gHandler(stop);
            return;
        }
        // Everything the program owns is written atomically or appended line
        // by line, so ending here loses nothing.
        std::exit(1);
    }
}

void setFatalHandler(std::function<void(const FatalStop&)> handler) { gHandler = std::move(handler); }
