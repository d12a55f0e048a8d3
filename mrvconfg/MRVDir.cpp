#include "mrvconfg/MRVDir.h"

#include <QFileDialog>
#include <QFileInfo>

// The configuration editor's folder browses all come through here, so the
// system's own directory chooser can take this place unchanged.
bool ChooseDirectory(QWidget* Parent, const QString& Caption, QString& Path) {
    QFileDialog dlg(Parent, Caption);
    dlg.setObjectName(QStringLiteral("MRVDir"));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    dlg.setFileMode(QFileDialog::Directory);
    if (QFileInfo(Path).isDir()) dlg.setDirectory(Path);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    Path = dlg.selectedFiles().first();
    return true;
}
