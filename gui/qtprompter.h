#pragma once

#include "common/prompter.h"

#include <memory>

class QMessageBox;

/// The box QtPrompter::message shows (objectName msgBox): Text, the buttons
/// and icon asked for, Title or else the application's display name as its
/// caption, and wide enough for that caption in a window manager's title bar
/// (CaptionWidth).
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                            const QString& title);

/// The prompter of the programs with windows: real message boxes with the
/// exact texts and buttons, and QInputDialog for input. The title is the
/// application's display name when none is given.
class QtPrompter : public Prompter {
public:
    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString input(const QString& prompt, const QString& title, const QString& initial) override;
};
