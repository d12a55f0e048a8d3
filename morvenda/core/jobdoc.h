#pragma once

#include <QString>

#include <functional>

// Run-time documentation of the jobs: one text file per job, NAME.rtd in the
// folder G.gJobDocPath, made from template.rtd in that folder the first time
// it is opened, opened in the desktop's editor and renamed with its job.

/// Path of the documentation file of a job: G.gJobDocPath/trimmed NAME.rtd.
QString JobDocFile(const QString& JobName);

/// Opens the documentation file of JobName in the desktop's editor.
///
/// Without a documentation folder (G.gJobDocPath empty or the missing-key
/// marker) says that the configuration file names no documentation folder,
/// and returns false. A missing document is made from
/// the template (a copy that fails leaves an empty document and says so) or,
/// with no template, made empty. An empty document holds one empty line (CR
/// LF), also one found with no bytes at all, so the desktop sees plain text
/// and opens it in the text editor. When the job (found with FindJob) has a
/// description the operator is offered it for the clipboard, and a Yes hands
/// it to PutOnClipboard. A document that cannot be opened is reported.
/// True when the editor was started.
bool OpenJobDoc(const QString& JobName, const std::function<void(const QString&)>& PutOnClipboard);

/// Renames the documentation file of OldName to that of NewName after a job
/// rename and tells the operator how it went. Nothing happens without a
/// documentation folder or without a document under the old name. An
/// existing document of NewName is never replaced: the rename then fails
/// with its message and both files stay.
void RenameJobDoc(const QString& OldName, const QString& NewName);
