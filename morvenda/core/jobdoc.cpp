#include "morvenda/core/jobdoc.h"

#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/state.h"
#include "platform/shell.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kTitle = QStringLiteral("New Morvenda Documentation");

// What a document holds that would otherwise be empty: one empty line.
// xdg-open takes the type of a file with an unknown extension (".rtd") from
// its content, and an empty file has none, so the desktop hands it to the web
// browser; one empty line reads as plain text and opens in the text editor.
const QByteArray kEmptyDoc = QByteArrayLiteral("\r\n");

// An empty setting and the marker written into a missing key both mean that
// no documentation folder is configured.
bool DocFolderSet() {
    const QString path = G.gJobDocPath.trimmed();
    return !path.isEmpty() && path.toUpper() != gMissingMark.toUpper();
}

// A job name that would lead out of the documentation folder (a hand-edited
// schedule may hold one) names no document.
bool UsableName(const QString& JobName) {
    const QString name = JobName.trimmed();
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String("..") &&
           name != QLatin1String(".");
}

// Copies the template to Doc through a temporary file, so a half copy never
// stands under the document's name.
bool CopyTemplate(const QString& Template, const QString& Doc) {
    QFile in(Template);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) return false;
    return WriteFileAtomic(Doc, bytes);
}

}  // namespace

QString JobDocFile(const QString& JobName) {
    return JoinPath(G.gJobDocPath.trimmed(), JobName.trimmed() + QStringLiteral(".rtd"));
}

bool OpenJobDoc(const QString& JobName, const std::function<void(const QString&)>& PutOnClipboard) {
    if (!DocFolderSet()) {
        MsgBox(QStringLiteral("No Runtime Documentation Path specification in ") + G.gIniFile);
        return false;
    }
    if (!UsableName(JobName)) {
        MsgBox(QStringLiteral("Cannot open the documentation of job \"") + JobName.trimmed() + QLatin1Char('"'),
               MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    const int j = FindJob(JobName);
    const QString desc = j > 0 ? Job(j).JobDesc.trimmed() : QString();
    const QString doc = JobDocFile(JobName);

    if (!PathExists(doc)) {
        const QString tmpl = JoinPath(G.gJobDocPath.trimmed(), QStringLiteral("template.rtd"));
        QString msg;
        if (PathExists(tmpl)) {
            if (CopyTemplate(tmpl, doc)) {
                msg = QStringLiteral("New Job Documentation file created.");
            } else {
                msg = QStringLiteral("Failed to create Job Documentation file from template.");
                if (WriteFileAtomic(doc, kEmptyDoc)) msg += QStringLiteral("  Empty file created.");
                msg += QStringLiteral("\n\n");
            }
        } else {
            // The desktop's editor, unlike a plain text editor, cannot open a
            // file that is not there: the new document starts as an empty line.
            QString error;
            if (!WriteFileAtomic(doc, kEmptyDoc, &error)) {
                MsgBox(error, MsgButtons::Ok, MsgIcon::Warning);
                return false;
            }
        }
        if (!desc.isEmpty()) {
            msg += QStringLiteral("  Would you like the job description putting on the Windows clipboard?");
            if (msg.startsWith(QLatin1Char(' '))) msg = msg.trimmed();
            if (MsgBox(msg, MsgButtons::YesNo, MsgIcon::Question, kTitle) == MsgAnswer::Yes && PutOnClipboard)
                PutOnClipboard(desc);
        } else if (!msg.isEmpty()) {
            MsgBox(msg, MsgButtons::OkCancel, MsgIcon::Information, kTitle);
        }
    }

    // A document copied from an empty template, or emptied by hand, gets its
    // empty line too; one that cannot be written is opened as it is.
    if (const QFileInfo info(doc); info.isFile() && info.size() == 0) WriteFileAtomic(doc, kEmptyDoc);

    QString error;
    if (!ShellOpen(doc, &error)) {
        MsgBox(error, MsgButtons::Ok, MsgIcon::Warning);
        return false;
    }
    return true;
}

void RenameJobDoc(const QString& OldName, const QString& NewName) {
    if (!DocFolderSet() || !UsableName(OldName)) return;
    const QString from = JobDocFile(OldName);
    const QString to = JobDocFile(NewName);
    if (!PathExists(from) || from == to) return;
    // QFile::rename never replaces an existing file.
    if (UsableName(NewName) && !PathExists(to) && QFile::rename(from, to))
        MsgBox(QStringLiteral("Job Runtime Documentation file renamed in line with job name change."));
    else
        MsgBox(QStringLiteral("Attempted Runtime Documentation file rename failed"), MsgButtons::Ok, MsgIcon::Warning);
}
