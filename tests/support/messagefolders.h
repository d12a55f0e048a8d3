#pragma once

#include <QSet>
#include <QString>

class DateVal;
class TempDir;
struct JobRec;

// The folders of end-of-job messages, as the scheduler writes them and the
// e-mailer reads them.

/// Schedule NIGHTLY (dates "d mmm yyyy", run log run.log) writes its
/// messages to msgs, copies of attachments to att and finds address books in
/// books, all in Dir (data is made there too, for the files a message takes
/// in). The books: ops (two lines, each after a comment), boss (a name with
/// a comma) and smith.
void UseMessageFolders(const TempDir& Dir);

/// Appends job PAYROLL of group FINANCE (command "/opt/pay/run.sh"), started
/// at Started and ended at 10:15:30 on Tuesday 8 Dec 2026, whose normal
/// message goes to ops, every line of it text; returns it.
JobRec& AddPayrollJob(DateVal Started);

/// Puts the subjects (SUBJ= lines) of the end-of-job messages in Folder into
/// *Subjects and the number of its files into *Files; a test failure for a
/// file that is not a finished message (*.eml), and a fatal one, ending the
/// reading, for one that cannot be read.
void ReadMessageSubjects(const QString& Folder, QSet<QString>* Subjects, int* Files);
