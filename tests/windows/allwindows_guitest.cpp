#include "tests/windows/allwindows.h"

#include "common/constants.h"
#include "common/settings.h"
#include "gui/MRVDir.h"
#include "gui/frmAbout.h"
#include "gui/programicon.h"
#include "gui/qtprompter.h"
#include "gui/screenfit.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmColSel.h"
#include "morvenda/windows/frmDateSel.h"
#include "morvenda/windows/frmDumOp.h"
#include "morvenda/windows/frmEdVar.h"
#include "morvenda/windows/frmEdit.h"
#include "morvenda/windows/frmIncFile.h"
#include "morvenda/windows/frmLGrid.h"
#include "morvenda/windows/frmLogVw.h"
#include "morvenda/windows/frmMain.h"
#include "morvenda/windows/frmResched.h"
#include "morvenda/windows/frmSched.h"
#include "morvenda/windows/frmSelAddr.h"
#include "morvenda/windows/frmStartUp.h"
#include "mrvchap/windows/frmMRVChap.h"
#include "mrvconfg/config.h"
#include "mrvconfg/windows/frmConfig.h"
#include "mrvconfg/windows/frmDateSel.h"
#include "mrvconfg/windows/frmPubHol.h"
#include "mrvdummy/windows/frmDummy.h"
#include "mrvemail/windows/frmEmail.h"
#include "mrvgenie/windows/MRVGPages.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/openeronpath.h"
#include "tests/support/statefixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <map>
#include <string>

#include <X11/Xlib.h>

namespace {

// A window that owns another program's windows and shows them all.
class Holder : public QWidget {
public:
    std::function<void()> release;
    ~Holder() override {
        if (release) release();
    }
};

std::unique_ptr<QWidget> GeniePages() {
    auto holder = std::make_unique<Holder>();
    auto* genie = new MRVGenie(QDir::tempPath());
    holder->release = [genie] { delete genie; };
    // The last page makes an installation as it shows: in a folder of the
    // test's own, never in the folder the test runs in.
    static TempDir base;
    genie->A.Base = base.path(S("Morvenda"));
    for (QWidget* page : std::initializer_list<QWidget*>{genie->Intro(), genie->Base(), genie->Name(), genie->WDays(),
                                                         genie->Select(), genie->Generate()})
        page->show();
    return holder;
}

std::unique_ptr<QWidget> HolidaysEditor() {
    auto holder = std::make_unique<Holder>();
    auto* box = new QLineEdit(holder.get());
    auto* editor = new MRVPubHol(box, QString());
    holder->release = [editor] { delete editor; };
    editor->show();
    return holder;
}

// The job editor on a job of its own.
std::unique_ptr<QWidget> JobEditor() {
    G.Jobs.resize(1);
    G.gCurJob = static_cast<std::int16_t>(JobBuilder(S("MNEMO")).group(S("General")).frequency(S("Daily")).add());
    return std::make_unique<frmEdit>();
}

}  // namespace

std::vector<WindowFactory> AllWindows() {
    return {
        {"frmMain", [] { return std::make_unique<frmMain>(); }},
        {"frmSched", [] { return std::make_unique<frmSched>(false); }},
        {"frmAbout", [] { return std::make_unique<frmAbout>(); }},
        {"frmEmail", [] { return std::make_unique<frmEmail>(); }},
        {"frmDummy", [] { return std::make_unique<frmDummy>(S("JN=MNEMO,CL=\"true\"")); }},
        {"MRVConfig", [] { return std::make_unique<MRVConfig>(); }},
        {"MRVDateSel", [] { return std::make_unique<MRVDateSel>(); }},
        {"MRVPubHol", HolidaysEditor},
        {"MRVDir", [] { return std::make_unique<MRVDir>(); }},
        {"MRVGenie", GeniePages},
        {"frmEdit", JobEditor},
        {"frmLGrid",
         [] {
             JobEditor();
             return std::make_unique<frmLGrid>();
         }},
        {"frmColSel", [] { return std::make_unique<frmColSel>(); }},
        {"frmResched",
         [] {
             JobEditor();
             return std::make_unique<frmResched>([] {});
         }},
        {"frmLogVw", [] { return std::make_unique<frmLogVw>(); }},
        {"frmStartUp", [] { return std::make_unique<frmStartUp>(); }},
        {"frmDumOp", [] { return std::make_unique<frmDumOp>(); }},
        {"frmDateSel", [] { return std::make_unique<frmDateSel>(); }},
        {"frmIncFile",
         [] {
             static IncludeFileParams params;
             return std::make_unique<frmIncFile>(params);
         }},
        {"frmSelAddr", [] { return std::make_unique<frmSelAddr>(); }},
        {"frmEdVar",
         [] {
             static DateVarParams params;
             return std::make_unique<frmEdVar>(params);
         }},
        {"frmMRVChap", [] { return std::make_unique<frmMRVChap>(); }},
    };
}

QWidget* WindowNamed(QWidget* Made, const char* Name) {
    if (Made->objectName() == QLatin1String(Name)) return Made;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->objectName() == QLatin1String(Name)) return top;
    return nullptr;
}

void AllWindowsTest::SetUp() {
    SchedulerStateTest::SetUp();
    UseTempScheduler(dir);
    // What the execution window needs to start its run date.
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gMinJobLaunch = 10;
}

namespace {

// F1 in a window with a help topic opens that topic's page, through the
// desktop's opener (here a stand-in that records what it was given); each
// page of a window with pages opens its own.
TEST_F(AllWindowsTest, F1OpensTheHelpPageOfEveryWindowAndPage) {
    struct Case {
        const char* window;
        const char* page;  // the tab to show first, or null
        const char* topic;
        bool confg;  // the configuration editor's pages lie in its help folder itself
    };
    const Case cases[] = {
        {"frmMain", nullptr, "Startup", false},
        {"frmDumOp", nullptr, "Dummy Run Options", false},
        {"frmSched", nullptr, "Schedule Execution Form", false},
        {"frmLGrid", nullptr, "Schedule Update Form", false},
        {"frmColSel", nullptr, "Customise View", false},
        {"frmResched", nullptr, "Modify Schedule", false},
        {"frmIncFile", nullptr, "Included File Specification", false},
        {"frmSelAddr", nullptr, "Email Address Selection", false},
        {"frmEdVar", nullptr, "Job Edit Form - Substitution Tab", false},
        {"frmEdit", "Submission", "Job Edit Form - Submission Tab", false},
        {"frmEdit", "Substitution", "Job Edit Form - Substitution Tab", false},
        {"frmEdit", "Timing", "Job Edit Form - Timing Tab", false},
        {"frmEdit", "Dependencies", "Job Edit Form - Dependencies Tab", false},
        {"frmEdit", "Normal EOJ", "Job Edit Form - Normal EOJ Tab", false},
        {"frmEdit", "Abnormal EOJ", "Job Edit Form - Abnormal EOJ Tab", false},
        {"MRVConfig", "File Locations", "MRVConfg Files", true},
        {"MRVConfig", "Schedule Data", "MRVConfg Sched", true},
        {"MRVPubHol", nullptr, "Public Holidays", true},
    };
    OpenerOnPath desktop;
    TempDir help;
    std::map<std::string, WindowFactory> factories;
    for (const WindowFactory& f : AllWindows()) factories.emplace(f.name, f);

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.window) + " " + c.topic);
        G.gHelpPath = help.path(S("sched"));
        confg::gConfg.gHelpPath = help.path(S("confg"));
        const QString page = c.confg ? help.write(S("confg/") + S(c.topic) + S(".htm"), "<h1>x</h1>")
                                     : help.write(S("sched/help/") + S(c.topic) + S(".htm"), "<h1>x</h1>");
        ASSERT_TRUE(factories.count(c.window));
        std::unique_ptr<QWidget> made = factories.at(c.window).make();
        if (made->objectName() == QLatin1String(c.window)) made->show();
        QWidget* w = WindowNamed(made.get(), c.window);
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        if (c.page) {
            QTabWidget* tabs = w->findChild<QTabWidget*>();
            ASSERT_NE(tabs, nullptr);
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabText(i) == QLatin1String(c.page)) tabs->setCurrentIndex(i);
            ASSERT_EQ(tabs->tabText(tabs->currentIndex()), QLatin1String(c.page));
            QCoreApplication::processEvents();
        }
        QWidget* focus =
            QApplication::focusWidget() && QApplication::focusWidget()->window() == w ? QApplication::focusWidget() : w;
        QTest::keyClick(focus, Qt::Key_F1);
        EXPECT_EQ(desktop.waitRecord(), page + S("\n"));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S(" | ")).toStdString();
        prompts.messages.clear();
    }
}

// Every window of every program carries the programs' icon once the program
// gives it to the application, as each program's main does.
TEST_F(AllWindowsTest, EveryWindowCarriesTheProgramIcon) {
    ASSERT_FALSE(ProgramIcon().isNull());
    ASSERT_FALSE(ProgramIcon().pixmap(32, 32).isNull());
    UseProgramIcon();
    for (const WindowFactory& f : AllWindows()) {
        SCOPED_TRACE(f.name);
        const QWidgetList before = QApplication::topLevelWidgets();
        std::unique_ptr<QWidget> made = f.make();
        if (made->objectName() == QLatin1String(f.name)) made->show();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (before.contains(top) || !top->isVisible()) continue;
            EXPECT_EQ(top->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey())
                << top->objectName().toStdString();
        }
    }
    QApplication::setWindowIcon(QIcon());
}

// The text a control shows for Caption: mnemonic marks dropped.
QString Shown(const QString& Caption) {
    QString out;
    for (qsizetype i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == QLatin1Char('&') && i + 1 < Caption.size()) ++i;
        out += Caption[i];
    }
    return out;
}

int WidestLine(const QFontMetrics& fm, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// Every text of Window that is cut: its control, the text, what it needs
// and the room it has.
QStringList CutTexts(QWidget* Window) {
    QStringList cut;
    const auto report = [&cut](QWidget* w, const QString& text, int need, int room) {
        if (need > room)
            cut << QStringLiteral("%1 \"%2\" needs %3, has %4").arg(w->objectName(), text).arg(need).arg(room);
    };
    for (QWidget* w : Window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(Window) || w->window() != Window) continue;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->text().isEmpty() || l->textFormat() == Qt::RichText || Qt::mightBeRichText(l->text()) ||
                !l->pixmap().isNull())
                continue;
            const QString text = l->buddy() ? Shown(l->text()) : l->text();
            const QRect room = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
            if (l->wordWrap())
                report(l, text, l->heightForWidth(l->width()), l->height());
            else
                report(l, text, WidestLine(l->fontMetrics(), text), room.width());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().isEmpty()) continue;
            QStyleOptionButton opt;
            opt.initFrom(b);
            opt.text = b->text();
            QStyle::SubElement contents = QStyle::SE_PushButtonContents;
            if (qobject_cast<QCheckBox*>(b)) contents = QStyle::SE_CheckBoxContents;
            if (qobject_cast<QRadioButton*>(b)) contents = QStyle::SE_RadioButtonContents;
            if (!qobject_cast<QPushButton*>(b) && contents == QStyle::SE_PushButtonContents) continue;
            const int room = b->style()->subElementRect(contents, &opt, b).width();
            report(b, Shown(b->text()), WidestLine(b->fontMetrics(), Shown(b->text())), room);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (!g->title().isEmpty())
                report(g, g->title(), g->fontMetrics().horizontalAdvance(Shown(g->title())) + 12, g->width());
        } else if (auto* t = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < t->count(); ++i)
                report(t, t->tabText(i), t->fontMetrics().horizontalAdvance(Shown(t->tabText(i))),
                       t->tabRect(i).width() - 8);
        } else if (auto* h = qobject_cast<QHeaderView*>(w)) {
            if (h->orientation() != Qt::Horizontal || !h->model()) continue;
            const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
            for (int i = 0; i < h->count(); ++i) {
                if (h->isSectionHidden(i) || h->sectionSize(i) == 0) continue;
                const QString text = h->model()->headerData(i, Qt::Horizontal).toString();
                if (!text.isEmpty())
                    report(h, text, h->fontMetrics().horizontalAdvance(text) + 2 * margin, h->sectionSize(i));
            }
        }
    }
    return cut;
}

// The window's frame as the X server has it: the window manager's frame
// window (the ancestor right under the root), or the window itself when no
// window manager frames it. Qt's own idea of the frame may lag behind.
QRect XFrame(QWidget* w) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return w->frameGeometry();
    Display* d = x11->display();
    Window win = static_cast<Window>(w->winId());
    for (;;) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(d, win, &root, &parent, &children, &n)) break;
        if (children) XFree(children);
        if (parent == root || parent == 0) break;
        win = parent;
    }
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, win, &a)) return w->frameGeometry();
    return QRect(a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width);
}

// Run on a real X server (the x11 test starts this with an Xvfb screen of
// 1280x1024, once bare and once under a window manager): every window of
// every program opens with its frame inside the screen and no text cut.
TEST_F(AllWindowsTest, EveryWindowOpensWholeOnTheScreen) {
    const QByteArray mode = qgetenv("MRV_TEST_SCREEN_FIT");
    if (mode.isEmpty()) GTEST_SKIP() << "run by the x11 test on a real X server";
    const bool wm = mode == "wm";
    // As every program's main does.
    KeepWindowsOnScreen();
    std::vector<WindowFactory> windows = AllWindows();
    // The windows as they grow in use.
    windows.push_back({"frmEdit", [] {
                           JobEditor();
                           G.Jobs[1].CommandLine = S("/opt/reports/bin/monthly-report --from &RUNDATE& ") +
                                                   QString(160, QLatin1Char('x')) + S(" --to &RUNDATE&");
                           auto w = std::make_unique<frmEdit>();
                           w->show();
                           w->findChild<QTabWidget*>()->setCurrentIndex(1);
                           w->findChild<QPushButton*>(S("cmdTry"))->click();
                           return std::unique_ptr<QWidget>(std::move(w));
                       }});
    windows.push_back({"frmSched", [] {
                           auto w = std::make_unique<frmSched>(true);
                           return std::unique_ptr<QWidget>(std::move(w));
                       }});
    // Places and sizes remembered on a larger screen.
    windows.push_back({"frmMRVChap", [] {
                           auto w = std::make_unique<frmMRVChap>();
                           w->move(2400, 1900);
                           return std::unique_ptr<QWidget>(std::move(w));
                       }});
    windows.push_back({"frmLGrid", [] {
                           SaveSetting(gAppName, gRegSection, S("GridHeight"), S("30000"));
                           return std::unique_ptr<QWidget>(std::make_unique<frmLGrid>());
                       }});
    // The prompter's boxes: a short text under the programs' own name, and a
    // long caption over a short text.
    windows.push_back({"msgBox", [] {
                           return std::unique_ptr<QWidget>(
                               MakeMessageBox(S("Login failed"), MsgButtons::Ok, MsgIcon::Information, S("Morvenda")));
                       }});
    windows.push_back({"msgBox", [] {
                           return std::unique_ptr<QWidget>(
                               MakeMessageBox(S("Save changes?"), MsgButtons::YesNoCancel, MsgIcon::Question,
                                              S("Public Holidays and Other Non-Working Dates")));
                       }});
    int checked = 0;
    for (const WindowFactory& f : windows) {
        SCOPED_TRACE(f.name);
        const QWidgetList before = QApplication::topLevelWidgets();
        std::unique_ptr<QWidget> made = f.make();
        if (made->objectName() == QLatin1String(f.name)) made->show();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (before.contains(top) || !top->isVisible() || top->windowType() == Qt::Popup ||
                top->windowType() == Qt::ToolTip)
                continue;
            SCOPED_TRACE(top->objectName().toStdString());
            ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
            // A window manager frames the window after it is mapped.
            if (wm) {
                const bool framed = QTest::qWaitFor([top] { return XFrame(top) != top->geometry(); }, 3000);
                static_cast<void>(framed);
            }
            QTest::qWait(50);
            const QRect screen = top->screen()->geometry();
            // Under a window manager the frame may still move into place
            // (the window is fitted once its frame is reported): give it the
            // time a loaded machine needs.
            if (wm) static_cast<void>(QTest::qWaitFor([&] { return screen.contains(XFrame(top)); }, 3000));
            const QRect frame = XFrame(top);
            EXPECT_TRUE(screen.contains(frame))
                << "frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
            const QStringList cut = CutTexts(top);
            EXPECT_TRUE(cut.isEmpty()) << cut.join(S("\n")).toStdString();
            // The title bar shows the whole caption beside its icon and
            // buttons: a window manager draws it in a bold title font.
            QFont titleFont = QApplication::font();
            titleFont.setBold(true);
            const int title = QFontMetrics(titleFont).horizontalAdvance(top->windowTitle());
            EXPECT_GE(frame.width(), title + 100) << top->windowTitle().toStdString() << " window "
                                                  << top->geometry().width() << "x" << top->geometry().height();
            ++checked;
        }
    }
    EXPECT_GE(checked, static_cast<int>(windows.size()));
}

}  // namespace
