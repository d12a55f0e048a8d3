#pragma once

#include "common/prompter.h"

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <string>

class MRVDir;
class QListWidget;
class ScriptedPrompter;

// Set-up and checks shared by the tests of the companion programs, the
// platform layer and the shared widgets.

/// Forgets the messages P has shown so far and queues Answers, in order, for
/// its next questions.
void NextAnswers(ScriptedPrompter& P, std::initializer_list<MsgAnswer> Answers);

/// The texts of the selected items of List, in list order.
QStringList SelectedTexts(const QListWidget* List);

/// Opens, as a double-click does, the entry of the folder chooser W's list
/// that holds the folder Path; a test failure when there is none.
void OpenInChooser(MRVDir& W, const QString& Path);

/// The top-level windows of the X display (DISPLAY), one a line: the owner's
/// pid, the title and the names of the windows inside, for failure messages.
std::string DescribeWindows();
