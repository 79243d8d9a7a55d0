#include "gui_util.h"
#include "app/AboutDlg.h"
#include "res/resources.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "../core/test_util.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* text; // null for a separator
    int command;
};

// Menu 128 as the product defines it.
const std::vector<std::pair<const char*, std::vector<Row>>> kMenu = {
    {"文件(&F)",
     {{"新建(&N)\tCtrl+N", 57600}, {"打开(&O)...\tCtrl+O", 57601}, {"保存(&S)\tCtrl+S", 57603},
      {"另存为(&A)...", 57604}, {nullptr, 0}, {"打印(&P)...\tCtrl+P", 57607}, {"打印预览(&V)", 57609},
      {"打印设置(&R)...", 57606}, {nullptr, 0}, {"最近的文件", 57616}, {nullptr, 0}, {"退出(&X)", 57665}}},
    {"编辑(&E)", {{"删除(&D)\tDelete", 32792}, {nullptr, 0}, {"用“画图”打开并编辑(&M)", 32797}, {"用默认程序打开(&W)", 32796}}},
    {"查看(&V)",
     {{"工具栏(&T)", 59392}, {"状态栏(&S)", 59393}, {"上一张(&P)\tPage Up", 32791}, {"下一张(&N)\tPage Down", 32790},
      {nullptr, 0}, {"全屏/幻灯片(&F)\tF11", 32801}}},
    {"设定效果(&C)",
     {{"载入时使用特效(&U)", 32771}, {nullptr, 0}, {"随机效果(&R)", 32777}, {nullptr, 0}, {"马赛克(&M)", 32778},
      {"百叶窗(&B)", 32779}, {nullptr, 0}, {"从上往下(&T)", 32780}, {"从下往上(&D)", 32781}, {"从左往右(&L)", 32782},
      {"从右往左(&I)", 32783}, {nullptr, 0}, {"左上进入(&Q)", 32784}, {"左下进入(&A)", 32785}, {"右上进入(&W)", 32786},
      {"右下进入(&S)", 32787}}},
    {"特效(&S)",
     {{"水平百叶窗(&H)", 32811}, {"垂直百叶窗(&V)", 32810}, {"马赛克(&M)", 32812}, {"向下扫描(&T)", 32813},
      {"向上扫描(&B)", 32814}}},
    {"缩放(&Z)",
     {{"逐渐放大(&I)\tCtrl+↑", 32793}, {"逐渐缩小(&O)\tCtrl+↓", 32794}, {nullptr, 0}, {"恢复原始大小(&L)", 32773},
      {"适合屏幕大小(&P)", 32808}, {nullptr, 0}, {"50 % (&H)", 32772}, {"75 % (&S)", 32775}, {"150 % (&B)", 32776},
      {"200 % (&D)", 32774}}},
    {"旋转(&R)", {{"顺时针旋转90度(&C)", 32809}, {"逆时针旋转90度(&A)", 32815}, {nullptr, 0}, {"旋转180度(&G)", 32816}}},
    {"帮助(&H)", {{"关于 Tobble(&A)...", 57664}}},
};

const std::vector<std::pair<QKeySequence, int>> kAccelerators = {
    {QKeySequence("Ctrl+C"), 57634},      {QKeySequence("Ctrl+N"), 57600},      {QKeySequence("Ctrl+O"), 57601},
    {QKeySequence("Ctrl+P"), 57607},      {QKeySequence("Ctrl+S"), 57603},      {QKeySequence("Ctrl+V"), 57637},
    {QKeySequence("Alt+Backspace"), 57643}, {QKeySequence("Delete"), 32792},    {QKeySequence("Shift+Delete"), 57635},
    {QKeySequence("Ctrl+Down"), 32794},   {QKeySequence("F11"), 32801},         {QKeySequence("F6"), 57680},
    {QKeySequence("Shift+F6"), 57681},    {QKeySequence("Ctrl+Ins"), 57634},    {QKeySequence("Shift+Ins"), 57637},
    {QKeySequence("PgDown"), 32790},      {QKeySequence("PgUp"), 32791},        {QKeySequence("Ctrl+Up"), 32793},
    {QKeySequence("Ctrl+X"), 57635},      {QKeySequence("Ctrl+Z"), 57643},
    // Beyond table 128: first and last picture.
    {QKeySequence("Home"), 32817},        {QKeySequence("End"), 32818},
};

const std::vector<int> kToolbar = {57601, 57607, 57603, 0,     32793, 32794, 32808, 32773, 0,     32809,
                                   32815, 0,     32791, 32790, 0,     32801, 0,     32792, 32797, 32796,
                                   0,     32811, 32810, 32812, 32813, 32814, 0,     32771, 32777, 32778,
                                   32779, 32780, 32781, 32782, 32783, 32784, 32785, 32786, 32787, 57664};

} // namespace

TEST(Shell, MenuReadBackFromTheFrame)
{
    RunningApp run;
    ASSERT_TRUE(run.ok);
    const QList<QAction*> menus = run.frame->menuBar()->actions();
    ASSERT_EQ(menus.size(), int(kMenu.size()));
    for (int m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), QString::fromUtf8(kMenu[m].first));
        const QList<QAction*> items = menus[m]->menu()->actions();
        ASSERT_EQ(items.size(), int(kMenu[m].second.size())) << kMenu[m].first;
        for (int i = 0; i < items.size(); ++i) {
            const Row& row = kMenu[m].second[i];
            if (!row.text) {
                EXPECT_TRUE(items[i]->isSeparator()) << kMenu[m].first << " " << i;
                continue;
            }
            EXPECT_EQ(items[i]->text(), QString::fromUtf8(row.text));
            EXPECT_EQ(items[i]->data().toInt(), row.command) << row.text;
        }
    }
}

TEST(Shell, AcceleratorsToolbarAndStrings)
{
    RunningApp run;
    QHash<QKeySequence, int> bound;
    for (QAction* a : run.frame->actions())
        for (const QKeySequence& k : a->shortcuts())
            bound.insert(k, a->data().toInt());
    for (const auto& [keys, command] : kAccelerators)
        EXPECT_EQ(bound.value(keys, -1), command) << keys.toString().toStdString();
    EXPECT_EQ(bound.size(), int(kAccelerators.size()));

    std::vector<int> order;
    for (QAction* a : run.frame->ToolBar()->actions())
        order.push_back(a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(order, kToolbar);
    // Button images: one per command, each different from the others.
    QSet<QByteArray> images;
    int buttons = 0;
    for (QAction* a : run.frame->ToolBar()->actions()) {
        if (a->isSeparator())
            continue;
        ++buttons;
        const QImage img = a->icon().pixmap(18, 15).toImage();
        EXPECT_EQ(img.size(), QSize(18, 15));
        images.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), int(img.sizeInBytes())));
    }
    EXPECT_EQ(images.size(), buttons);

    // Tooltips are the part after the line break.
    EXPECT_EQ(run.frame->Action(57601)->toolTip(), QStringLiteral("打开"));
    EXPECT_EQ(run.frame->Action(32790)->toolTip(), QStringLiteral("查看当前目录中下一张图片((Page Down))"));
    EXPECT_EQ(run.frame->Action(32793)->toolTip(), QStringLiteral("逐渐放大(Ctrl+↑)"));
    EXPECT_EQ(res::String(32776), QStringLiteral("缩放到原来大小的 1.5倍\n缩放到原来大小的 1.5倍"));
    EXPECT_EQ(res::String(32797), QStringLiteral("用Windows“画图”程序打开并编辑\n用Windows“画图”程序打开并编辑"));
    EXPECT_EQ(res::String(57344), QStringLiteral("Korvex"));
    EXPECT_EQ(res::String(57345), QStringLiteral("就绪"));
    EXPECT_EQ(res::String(61446), QStringLiteral("LEFT"));
    EXPECT_EQ(res::String(61447), QStringLiteral("RIGHT"));
}

TEST(Shell, DisabledCommandsNeverRun)
{
    RunningApp run;
    CKorvexView* view = run.View();
    int runs = 0;
    bool enabled = false;
    view->OnCommand(res::ID_ZOOM_IN, [&] { ++runs; });
    view->OnUpdate(res::ID_ZOOM_IN, [&](CCmdUI& ui) { ui.Enable(enabled); });
    run.frame->UpdateCommandUI();

    QTest::keyClick(run.frame, Qt::Key_Up, Qt::ControlModifier);
    run.frame->Action(res::ID_ZOOM_IN)->trigger();
    QToolButton* button = qobject_cast<QToolButton*>(run.frame->ToolBar()->widgetForAction(run.frame->Action(res::ID_ZOOM_IN)));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(run.frame->ExecuteCommand(res::ID_ZOOM_IN));
    EXPECT_EQ(runs, 0);

    // The update right before running decides, even if the action looked enabled.
    run.frame->Action(res::ID_ZOOM_IN)->setEnabled(true);
    run.frame->Action(res::ID_ZOOM_IN)->trigger();
    EXPECT_EQ(runs, 0);

    enabled = true;
    run.frame->UpdateCommandUI();
    QTest::keyClick(run.frame, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(runs, 1);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(runs, 2);

    // Commands without a handler are disabled; File New always is.
    for (int id : {57634, 57635, 57637, 57643, 57680, 57681, 57600, 57616})
        EXPECT_FALSE(run.frame->Router().Query(id).m_bEnabled) << id;
    for (int id : {57664, 57665, 59392, 59393})
        EXPECT_TRUE(run.frame->Router().Query(id).m_bEnabled) << id;
}

TEST(Shell, StatusBarPanesAndNoPrompts)
{
    RunningApp run;
    run.frame->resize(900, 600);
    QApplication::processEvents();
    ASSERT_NE(run.frame->Pane(6), nullptr);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(run.frame->Pane(i)->width(), 100) << i;
    EXPECT_GE(run.frame->Pane(0)->width(), 50);
    EXPECT_GT(run.frame->Pane(0)->width(), run.frame->Pane(1)->width()); // stretches
    const QFontMetrics fm(run.frame->Pane(5)->font());
    EXPECT_GE(run.frame->Pane(5)->width(), fm.horizontalAdvance("LEFT"));
    EXPECT_LT(run.frame->Pane(5)->width(), run.frame->Pane(6)->width());

    run.frame->SetPaneText(0, QStringLiteral("kept"));
    // Hovering a toolbar button: the prompt does not reach the status bar.
    QWidget* button = run.frame->ToolBar()->widgetForAction(run.frame->Action(res::ID_FILE_OPEN));
    QTest::mouseMove(button);
    QStatusTipEvent tip(QStringLiteral("打开一个现有文档"));
    QApplication::sendEvent(button, &tip);
    run.frame->Action(res::ID_FILE_OPEN)->hover();
    QApplication::processEvents();
    EXPECT_EQ(run.frame->StatusBar()->currentMessage(), QString());
    EXPECT_EQ(run.frame->GetPaneText(0), QStringLiteral("kept"));
    for (int i = 1; i < 7; ++i)
        EXPECT_EQ(run.frame->GetPaneText(i), QString()) << i;

    // Hiding and showing the bar keeps the texts, and the check mark follows.
    run.frame->ExecuteCommand(res::ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(run.frame->StatusBar()->isHidden());
    EXPECT_FALSE(run.frame->Action(res::ID_VIEW_STATUS_BAR)->isChecked());
    run.frame->SetPaneText(1, QStringLiteral("显示比例: 1.000"));
    run.frame->ExecuteCommand(res::ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(run.frame->StatusBar()->isHidden());
    EXPECT_TRUE(run.frame->Action(res::ID_VIEW_STATUS_BAR)->isChecked());
    EXPECT_EQ(run.frame->GetPaneText(1), QStringLiteral("显示比例: 1.000"));
    // A text wider than its pane widens it; a shorter one later keeps it.
    const QString wide = QStringLiteral("宽×高 = 12345678×12345678");
    run.frame->SetPaneText(3, wide);
    const int widened = run.frame->Pane(3)->minimumWidth();
    EXPECT_GE(widened, QFontMetrics(run.frame->Pane(3)->font()).horizontalAdvance(wide));
    run.frame->SetPaneText(3, QStringLiteral("宽×高 = 1×1"));
    EXPECT_EQ(run.frame->Pane(3)->minimumWidth(), widened);
    EXPECT_EQ(run.frame->Pane(2)->minimumWidth(), 100);
    run.frame->ExecuteCommand(res::ID_VIEW_TOOLBAR);
    EXPECT_TRUE(run.frame->ToolBar()->isHidden());
    EXPECT_FALSE(run.frame->Action(res::ID_VIEW_TOOLBAR)->isChecked());
}

TEST(Shell, AboutBoxTextsAndEscape)
{
    RunningApp run;
    bool seen = false;
    run.app->m_showAbout = [&](QWidget* parent) {
        CAboutDlg dlg(parent);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("关于 Tobble"));
        QStringList texts;
        for (QLabel* l : dlg.findChildren<QLabel*>())
            texts << l->text();
        EXPECT_TRUE(texts.contains(QStringLiteral("Tobble 1.0 版")));
        QPushButton* ok = dlg.findChild<QPushButton*>(QStringLiteral("IDOK"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("确定"));
        EXPECT_TRUE(ok->isDefault());
        QTimer::singleShot(0, &dlg, [&dlg] { QTest::keyClick(&dlg, Qt::Key_Escape); });
        EXPECT_EQ(dlg.exec(), QDialog::Rejected);
        QTimer::singleShot(0, &dlg, [&dlg] { QTest::keyClick(&dlg, Qt::Key_Return); });
        EXPECT_EQ(dlg.exec(), QDialog::Accepted);
        seen = true;
    };
    EXPECT_TRUE(run.frame->ExecuteCommand(res::ID_APP_ABOUT));
    EXPECT_TRUE(seen);
}

TEST(Shell, CaptionAndCommandLinePath)
{
    {
        RunningApp run;
        EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("无标题 - Tobble"));
        EXPECT_TRUE(run.frame->isMaximized());
        EXPECT_GE(run.frame->OpeningRow(), 0);
        EXPECT_LT(run.frame->OpeningRow(), 20);
    }
    {
        // A path that cannot be opened leaves the untitled window; the reader says why.
        RunningApp run({"/nonexistent folder/照片.bmp"});
        EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("无标题 - Tobble"));
        EXPECT_EQ(CKorvexApp::RecentFiles().front(), "/nonexistent folder/照片.bmp");
        EXPECT_FALSE(run.frame->Router().Query(res::ID_ZOOM_IN).m_bEnabled);
    }
    TempDir dir;
    const std::string path = dir.File("照 片.bmp");
    WriteFileBytes(path, MakeBmp(1, 1, 24, {}, {1, 2, 3, 0}));
    // As a launcher hands it over: a file URI, percent-encoded.
    RunningApp run({"file://" + QUrl::toPercentEncoding(QString::fromStdString(path), "/").toStdString()});
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("照 片.bmp - Tobble"));
    EXPECT_EQ(CKorvexApp::RecentFiles().front(), path);
    EXPECT_TRUE(run.frame->Router().Query(res::ID_ZOOM_IN).m_bEnabled);
    EXPECT_EQ(run.frame->GetDocument()->m_nLast, 0);
    // Three of the twenty opening rows fade in.
    int fades = 0;
    for (int k = 0; k < 20; ++k)
        fades += (CMainFrame::OpeningFlags(k) & 0x80000) ? 1 : 0;
    EXPECT_EQ(fades, 3);
    EXPECT_EQ(CMainFrame::OpeningFlags(6), 0x60001u);
}

// Help and version are answered on the terminal, with no display to connect to.
TEST(Shell, HelpAndVersionWithoutDisplay)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    for (const auto& [option, expected] : {std::pair{"--help", "Usage:"}, std::pair{"--version", "korvex 1.0"}}) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KORVEX_PATH), {QString::fromLatin1(option)});
        ASSERT_TRUE(process.waitForFinished(10000)) << option;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(process.exitCode(), 0) << option;
        EXPECT_TRUE(process.readAllStandardOutput().contains(expected)) << option;
    }
}

TEST(Shell, RecentFileListKeepsFour)
{
    for (int i = 0; i < 6; ++i)
        CKorvexApp::AddToRecentFiles("/p/" + std::to_string(i) + ".bmp");
    const std::vector<std::string> files = CKorvexApp::RecentFiles();
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files.front(), "/p/5.bmp");
}
