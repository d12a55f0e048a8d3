#include "tests/support/companiontests.h"

#include "gui/MRVDir.h"
#include "platform/x11.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>
#include <QListWidget>

void NextAnswers(ScriptedPrompter& P, std::initializer_list<MsgAnswer> Answers) {
    P.messages.clear();
    for (MsgAnswer a : Answers) P.queueAnswer(a);
}

QStringList SelectedTexts(const QListWidget* List) {
    QStringList out;
    for (int i = 0; i < List->count(); ++i)
        if (List->item(i)->isSelected()) out << List->item(i)->text();
    return out;
}

void OpenInChooser(MRVDir& W, const QString& Path) {
    auto* list = W.findChild<QListWidget*>(QStringLiteral("dirDir"));
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toString() == Path) {
            emit list->itemActivated(list->item(i));
            return;
        }
    ADD_FAILURE() << "no entry for " << Path.toStdString();
}

std::string DescribeWindows() {
    XConnection x;
    QString out;
    for (const XTopWindow& w : x.topLevelWindows())
        out += QStringLiteral("%1 \"%2\" [%3]\n").arg(w.pid).arg(w.title, x.descendantNames(w.window).join(u'|'));
    return out.toStdString();
}
