#include "morvenda/editing/frmEditJob.h"

#include "common/prompter.h"
#include "morvenda/core/state.h"

namespace {
std::function<bool(QWidget*)>& Override() {
    static std::function<bool(QWidget*)> fn;
    return fn;
}
}  // namespace

void SetEditJobOverride(std::function<bool(QWidget*)> Editor) { Override() = std::move(Editor); }

bool EditJob(QWidget* parent) {
    if (Override()) {
        return Override()(parent);
    }
    // Until the job editor is part of the program nothing can be edited.
    G.gEditCancelled = true;
    return false;
}
