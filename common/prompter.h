#pragma once

#include <QString>

// Message boxes and questions go through a Prompter, so that logic can ask the
// operator without knowing about windows. The programs install one that shows
// real message boxes (QtPrompter); tests install one that answers from a
// script and records the texts.

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Information, Warning, Critical, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

class Prompter {
public:
    virtual ~Prompter() = default;
    /// Shows Text with the buttons and waits for the answer.
    virtual MsgAnswer message(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                              const QString& title = QString()) = 0;
    /// Asks for a line of text; "" when the operator cancels.
    virtual QString input(const QString& prompt, const QString& title, const QString& initial = QString()) = 0;
};

/// A prompter for programs without windows: writes every message to standard
/// error and takes the first button (Ok, Yes or Retry are never assumed for a
/// question: YesNo answers No, YesNoCancel and RetryCancel answer Cancel);
/// input is cancelled.
class StderrPrompter : public Prompter {
public:
    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString input(const QString& prompt, const QString& title, const QString& initial) override;
};

/// The prompter in use by this program; never null (a StderrPrompter until
/// one is installed).
Prompter& prompter();

/// Installs a prompter (not owned; null restores the StderrPrompter).
void setPrompter(Prompter* p);

/// Shorthand for prompter().message(...).
MsgAnswer MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                 const QString& title = QString());
