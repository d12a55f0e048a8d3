#include "gui/errorwindow.h"

#include "platform/x11.h"

#include <QtGui/qguiapplication_platform.h>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>

bool ShowErrorWindow(const QString& Title, const QString& Message, QWidget* Parent) {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal") {
        const QByteArray line = (Title + QLatin1String(": ") + Message + QLatin1Char('\n')).toLocal8Bit();
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
        std::fflush(stderr);
        return false;
    }

    QDialog box(Parent);
    box.setObjectName(QStringLiteral("frmErrorWindow"));
    box.setWindowTitle(Title);
    auto* icon = new QLabel(&box);
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    icon->setPixmap(box.style()->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, &box).pixmap(size, size));
    auto* text = new QLabel(Message, &box);
    text->setObjectName(QStringLiteral("lblErrorText"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The message label gets an X window of its own, named after the message.
    text->setAttribute(Qt::WA_NativeWindow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(&box);
    layout->addLayout(row);
    layout->addWidget(buttons);

    const WId native = text->winId();
    // Qt gives a child window no name of its own, and would add the program's
    // display name to a title; the name is written here, on Qt's own X
    // connection so that it reaches the server after the window itself.
    if (platform == u"xcb") {
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            XConnection(x11->display()).setWindowName(native, Message);
        } else if (QWindow* w = text->windowHandle()) {
            w->setTitle(Message);
        }
    }
    box.exec();
    return true;
}
