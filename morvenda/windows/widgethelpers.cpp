#include "morvenda/windows/widgethelpers.h"

#include "common/constants.h"
#include "gui/grid.h"
#include "gui/help.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>

#include <QWidget>

namespace {

// Sets G.gFillingGroups for the life of the object and puts back the value
// it had, also when filling is left early.
class FillingGroups {
public:
    FillingGroups() : old_(G.gFillingGroups) { G.gFillingGroups = true; }
    ~FillingGroups() { G.gFillingGroups = old_; }
    FillingGroups(const FillingGroups&) = delete;
    FillingGroups& operator=(const FillingGroups&) = delete;

private:
    bool old_;
};

}  // namespace

bool FillGroupCombo(QComboBox* Combo) {
    const FillingGroups filling;
    Combo->clear();
    Combo->addItem(gAllGroups);
    QSet<QString> seen{gAllGroups};
    for (int j = 1; j <= JobCount(); ++j) {
        const QString group = Job(j).Group.trimmed();
        if (seen.contains(group)) continue;
        seen.insert(group);
        Combo->addItem(group);
    }
    const int found = Combo->findText(G.gGroupFilter, Qt::MatchExactly | Qt::MatchCaseSensitive);
    Combo->setCurrentIndex(found >= 0 ? found : 0);
    return found >= 0;
}

void PositionForm(QWidget* Window, const QString& Code) {
    const QString code = Code.toUpper();
    const bool centre = code == QLatin1String("CENTRE") || code == QLatin1String("C");
    const bool topCentre = code == QLatin1String("TOPCENTRE") || code == QLatin1String("TC");
    if (!centre && !topCentre) return;
    QScreen* screen = Window->screen() ? Window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = Window->frameGeometry().size();
    const int x = area.x() + (area.width() - size.width()) / 2;
    const int y = centre ? area.y() + (area.height() - size.height()) / 2 : area.y();
    Window->move(x, y);
}

qint64 GetCellPicture(const Grid& Grid, int Row, int Col) { return Grid.CellPicture(Row, Col); }

bool SetCellPicture(Grid& Grid, int Row, int Col, const QPixmap& Picture) {
    if (!Grid.SetTextMatrix(Row, Col, QString())) return false;
    Grid.SetCellPicture(Row, Col, Picture);
    Grid.SetCellAlignment(Row, Col, GridAlign::Centre);
    return true;
}

bool ShowHelp(const QString& Topic) { return ShowHelpPage(HelpPagePath(Topic), Topic); }

void PutOnClipboard(const QString& Text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(Text);
}
