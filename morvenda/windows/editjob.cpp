#include "morvenda/windows/editjob.h"

#include "morvenda/core/state.h"
#include "morvenda/windows/frmEdit.h"

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
    frmEdit editor(parent);
    editor.Form_Load();
    return editor.exec() == QDialog::Accepted;
}
