#include "gui/guard.h"

#include <QCoreApplication>

#include <cstdlib>

void GuardFatal(const std::function<void()>& work) {
    try {
        work();
    } catch (const FatalStop&) {
        // Everything the program owns is written atomically or appended line
        // by line, so ending here loses nothing.
        std::exit(1);
    }
}
