#include "gui/controls.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

QPushButton* NamedButton(QWidget* Parent, const char* Name, const QString& Caption) {
    auto* b = new QPushButton(Caption, Parent);
    b->setObjectName(QLatin1String(Name));
    return b;
}

QAction* NamedMenuItem(QMenu* Menu, const char* Name, const QString& Caption) {
    QAction* a = Menu->addAction(Caption);
    a->setObjectName(QLatin1String(Name));
    return a;
}

QString AccessibleCaption(const QString& Caption) {
    QString out;
    out.reserve(Caption.size());
    for (qsizetype i = 0; i < Caption.size(); ++i) {
        const QChar c = Caption.at(i);
        if (c == QLatin1Char('&')) {
            // "&&" is a literal "&"; a single "&" only marks the mnemonic.
            if (i + 1 < Caption.size() && Caption.at(i + 1) == QLatin1Char('&')) out += Caption.at(++i);
            continue;
        }
        if (c != QLatin1Char(':')) out += c;
    }
    return out.trimmed();
}

QLabel* BuddyLabel(QWidget* Parent, const QString& Caption, QWidget* Buddy) {
    auto* l = new QLabel(Caption, Parent);
    l->setBuddy(Buddy);
    Buddy->setAccessibleName(AccessibleCaption(Caption));
    return l;
}

void NameControls(QWidget* Window) {
    const auto name = [](QWidget* w, const QString& caption) {
        if (w->accessibleName().isEmpty() && !AccessibleCaption(caption).isEmpty())
            w->setAccessibleName(AccessibleCaption(caption));
    };
    const QList<QWidget*> all = Window->findChildren<QWidget*>();
    // Labels first: a labelled control reads as its label.
    for (QWidget* w : all)
        if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy()) name(l->buddy(), l->text());
    for (QWidget* w : all) {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            name(b, b->text());
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            name(g, g->title());
        else if (auto* l = qobject_cast<QLabel*>(w))
            name(l, l->text());
    }
}

QMenuBar* DialogMenuBar(QWidget* Window, QPushButton* OK, QPushButton* Cancel, QPushButton* Help,
                        const QString& OkCaption, const char* HelpItem) {
    auto* bar = new QMenuBar(Window);
    bar->setObjectName(QStringLiteral("mnuBar"));
    QMenu* mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction* mnuOK = NamedMenuItem(mnuFile, "mnuOK", OkCaption);
    QAction* mnuCancel = NamedMenuItem(mnuFile, "mnuCancel", QStringLiteral("&Cancel"));
    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* help = NamedMenuItem(mnuHelp, HelpItem, QStringLiteral("&Help"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    QObject::connect(mnuOK, &QAction::triggered, OK, &QPushButton::click);
    QObject::connect(mnuCancel, &QAction::triggered, Cancel, &QPushButton::click);
    QObject::connect(help, &QAction::triggered, Help, &QPushButton::click);
    return bar;
}
