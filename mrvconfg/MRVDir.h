#pragma once

#include <QString>

class QWidget;

/// Shows a folder chooser modally, starting at Path. True when the operator
/// chose a folder (Path is then that folder, its case kept); false when the
/// chooser was cancelled or closed (Path unchanged).
bool ChooseDirectory(QWidget* Parent, const QString& Caption, QString& Path);
