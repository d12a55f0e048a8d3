#pragma once

#include "common/prompter.h"

/// The prompter of the programs with windows: real message boxes with the
/// exact texts and buttons, and QInputDialog for input. The title is the
/// application's display name when none is given.
class QtPrompter : public Prompter {
public:
    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString input(const QString& prompt, const QString& title, const QString& initial) override;
};
