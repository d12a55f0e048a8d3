#include "gui/qtprompter.h"

#include <QApplication>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>

#include "gui/screenfit.h"

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                            const QString& title) {
    auto made = std::make_unique<QMessageBox>();
    QMessageBox& box = *made;
    box.setObjectName(QStringLiteral("msgBox"));
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    box.setText(text);
    switch (icon) {
        case MsgIcon::None:
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    switch (buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MsgButtons::RetryCancel:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
    }
    // The box sizes itself to its text each time it shows, with too little
    // room for its caption under a window manager: a row as wide as the
    // title bar needs keeps it wide enough.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(CaptionWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return made;
}

MsgAnswer QtPrompter::message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) {
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(text, buttons, icon, title);
    switch (box->exec()) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Retry:
            return MsgAnswer::Retry;
        default:
            // The close box of a question counts as its cancel (or its only button).
            return buttons == MsgButtons::Ok ? MsgAnswer::Ok
                                             : (buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel);
    }
}

QString QtPrompter::input(const QString& prompt, const QString& title, const QString& initial) {
    bool ok = false;
    const QString text = QInputDialog::getText(nullptr, title, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? text : QString();
}
