#include "common/prompter.h"

#include <cstdio>

namespace {
StderrPrompter gStderrPrompter;
Prompter* gPrompter = nullptr;
}  // namespace

MsgAnswer StderrPrompter::message(const QString& text, MsgButtons buttons, MsgIcon, const QString& title) {
    const QString head = title.isEmpty() ? QString() : title + QStringLiteral(": ");
    std::fprintf(stderr, "%s\n", qPrintable(head + text));
    switch (buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        case MsgButtons::YesNoCancel:
        case MsgButtons::RetryCancel:
            return MsgAnswer::Cancel;
    }
    return MsgAnswer::Ok;
}

QString StderrPrompter::input(const QString& prompt, const QString& title, const QString&) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(prompt));
    return QString();
}

Prompter& prompter() { return gPrompter ? *gPrompter : gStderrPrompter; }

void setPrompter(Prompter* p) { gPrompter = p; }

MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) {
    return prompter().message(text, buttons, icon, title);
}
