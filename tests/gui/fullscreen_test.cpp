// Full screen, the floating toolbar's hot zone, the slideshow and the closing
// animation, with the timers fired by the test.
#include "gui_util.h"
#include "res/resources.h"

#include "../core/test_util.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

void WriteTagged(const std::string& path, std::uint8_t tag)
{
    WriteFileBytes(path, MakeBmp(2, 1, 24, {}, {tag, 0, 0, 9, 9, 9, 0, 0}));
}

int ShownTag(CKorvexView* view)
{
    return view->m_picture.HasImage() ? view->m_picture.GetRow(0)[0] : -1;
}

void Open(RunningApp& run, const std::string& path)
{
    Fake().dialogPath = QString::fromStdString(path);
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_FILE_OPEN));
}

QAction* BarAction(CMainFrame* frame, int id)
{
    if (!frame->m_pFullScreenBar)
        return nullptr;
    for (QAction* a : frame->m_pFullScreenBar->actions())
        if (a->data().toInt() == id)
            return a;
    return nullptr;
}

} // namespace

TEST(FullScreen, EnterAndLeaveRestoreTheWindow)
{
    RunningApp run;
    CMainFrame* frame = run.frame;
    ASSERT_TRUE(frame->isMaximized());
    const QRect screen = frame->DesktopRect();

    // Escape outside full screen changes nothing.
    QTest::keyClick(run.View(), Qt::Key_Escape);
    EXPECT_FALSE(frame->m_bFullScreen);
    EXPECT_TRUE(frame->isMaximized());

    QTest::keyClick(frame, Qt::Key_F11);
    ASSERT_TRUE(frame->m_bFullScreen);
    EXPECT_TRUE(frame->ToolBar()->isHidden());
    EXPECT_TRUE(frame->StatusBar()->isHidden());
    EXPECT_TRUE(frame->menuBar()->isHidden());
    EXPECT_TRUE(frame->isFullScreen());
    EXPECT_EQ(frame->maximumSize(), screen.size());
    EXPECT_TRUE(frame->Action(res::ID_FULL_SCREEN)->isChecked());
    EXPECT_TRUE(frame->m_bBarShown);
    EXPECT_TRUE(frame->m_bHidePending);
    EXPECT_TRUE(frame->IsTimerArmed(2222));

    // The floating toolbar: a captioned tool window in the top-right corner
    // with nine buttons in three groups.
    QToolBar* bar = frame->m_pFullScreenBar;
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isWindow());
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("全屏/幻灯片模式"));
    QVector<int> ids;
    for (QAction* a : bar->actions())
        ids << (a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(ids, res::FullScreenToolbar());
    EXPECT_EQ(bar->iconSize(), QSize(16, 15));
    EXPECT_EQ(bar->frameGeometry().x(), screen.width() - bar->frameGeometry().width() - 15);
    EXPECT_EQ(bar->y(), 3);

    // The accelerators still work: Page Down reaches its (disabled) command,
    // F11 leaves. Escape leaves too.
    QTest::keyClick(run.View(), Qt::Key_Escape);
    EXPECT_FALSE(frame->m_bFullScreen);
    EXPECT_EQ(frame->m_pFullScreenBar, nullptr);
    EXPECT_FALSE(frame->IsTimerArmed(2222)); // nothing happens five seconds later
    EXPECT_FALSE(frame->ToolBar()->isHidden());
    EXPECT_FALSE(frame->StatusBar()->isHidden());
    EXPECT_FALSE(frame->menuBar()->isHidden());
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_TRUE(frame->m_bLayoutChanged || run.View()->m_picture.HasImage() == false);

    // Bars hidden before entering are shown after leaving.
    frame->ExecuteCommand(res::ID_VIEW_TOOLBAR);
    frame->ExecuteCommand(res::ID_VIEW_STATUS_BAR);
    ASSERT_TRUE(frame->ToolBar()->isHidden());
    frame->ExecuteCommand(res::ID_FULL_SCREEN);
    ASSERT_TRUE(frame->m_bFullScreen);
    // The toolbar's own full-screen button leaves.
    QAction* leave = BarAction(frame, res::ID_FULL_SCREEN);
    ASSERT_NE(leave, nullptr);
    leave->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(frame->m_bFullScreen);
    EXPECT_FALSE(frame->ToolBar()->isHidden());
    EXPECT_FALSE(frame->StatusBar()->isHidden());
}

TEST(FullScreen, HotZoneParksAndRecallsTheToolbar)
{
    // The zone and the parked place follow the screen width; on a 1024-pixel
    // screen they are 700..1028 and (1028, 0).
    EXPECT_TRUE(CMainFrame::InHotZone({700, -5}, 1024));
    EXPECT_TRUE(CMainFrame::InHotZone({1027, 79}, 1024));
    EXPECT_FALSE(CMainFrame::InHotZone({699, 10}, 1024));
    EXPECT_FALSE(CMainFrame::InHotZone({1028, 10}, 1024));
    EXPECT_FALSE(CMainFrame::InHotZone({800, 80}, 1024));
    EXPECT_FALSE(CMainFrame::InHotZone({800, -6}, 1024));
    EXPECT_EQ(CMainFrame::ParkedPosition(1024), QPoint(1028, 0));
    EXPECT_TRUE(CMainFrame::InHotZone({1900, 10}, 1920));
    EXPECT_FALSE(CMainFrame::InHotZone({1000, 10}, 1920));

    RunningApp run;
    CMainFrame* frame = run.frame;
    frame->ExecuteCommand(res::ID_FULL_SCREEN);
    const int w = frame->m_rcFullScreen.width();
    const QPoint inside(w - 20, 10), outside(w / 2, 300);

    // Resting inside keeps the toolbar: the pending hide is cancelled.
    frame->TrackFullScreenBar(inside);
    frame->TrackFullScreenBar(inside);
    EXPECT_FALSE(frame->m_bHidePending);
    EXPECT_FALSE(frame->IsTimerArmed(2222));
    EXPECT_TRUE(frame->m_bBarShown);

    // Leaving the zone arms the hide once; the timer parks the toolbar.
    QMouseEvent move(QEvent::MouseMove, QPointF(outside), run.View()->viewport()->mapToGlobal(QPointF(outside)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(run.View()->viewport(), &move);
    frame->TrackFullScreenBar(outside);
    EXPECT_TRUE(frame->m_bHidePending);
    EXPECT_TRUE(frame->IsTimerArmed(2222));
    EXPECT_EQ(run.frame->GetPaneText(4), QStringLiteral("X = %1 , Y = %2").arg(outside.x()).arg(outside.y()));
    frame->OnTimer(2222);
    EXPECT_FALSE(frame->m_bBarShown);
    EXPECT_FALSE(frame->m_bHidePending);
    EXPECT_FALSE(frame->IsTimerArmed(2222));
    EXPECT_EQ(frame->m_pFullScreenBar->pos(), CMainFrame::ParkedPosition(w));
    frame->OnTimer(1111); // not the frame's
    EXPECT_EQ(frame->m_pFullScreenBar->pos(), CMainFrame::ParkedPosition(w));

    // Back into the corner: recalled, without a hide timer.
    frame->TrackFullScreenBar(inside);
    EXPECT_TRUE(frame->m_bBarShown);
    EXPECT_FALSE(frame->IsTimerArmed(2222));
    QToolBar* bar = frame->m_pFullScreenBar;
    EXPECT_EQ(bar->frameGeometry().x(), frame->DesktopRect().width() - bar->frameGeometry().width() - 10);
    EXPECT_EQ(bar->y(), 3);
    frame->EndFullScreen();
}

TEST(FullScreen, FloatingBarNeverTakesTheKeyboard)
{
    RunningApp run;
    CMainFrame* frame = run.frame;
    for (bool inside : {false, true}) {
        CMainFrame::SetBarInsideWindow(inside);
        if (inside) {
            // Smaller than the screen until full screen is granted.
            frame->showNormal();
            frame->resize(640, 480);
        }
        frame->ExecuteCommand(res::ID_FULL_SCREEN);
        ASSERT_TRUE(frame->m_bFullScreen);
        QToolBar* bar = frame->m_pFullScreenBar;
        QWidget* window = frame->FullScreenBarWindow();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(frame->BarInsideWindow(), inside);
        for (QAction* a : bar->actions()) {
            if (QWidget* button = bar->widgetForAction(a)) {
                EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << a->data().toInt();
            }
        }
        const int w = frame->m_rcFullScreen.width();
        if (inside) {
            // A captioned panel in the same corner, parked beyond the frame's
            // edge and recalled by the hot zone.
            EXPECT_EQ(window->parentWidget(), frame);
            EXPECT_TRUE(window->isVisible()); // shown once full screen is granted
            QLabel* caption = window->findChild<QLabel*>();
            ASSERT_NE(caption, nullptr);
            EXPECT_EQ(caption->text(), QStringLiteral("全屏/幻灯片模式"));
            EXPECT_EQ(window->pos(), QPoint(w - window->width() - 15, 3));
            frame->OnTimer(2222);
            EXPECT_EQ(window->pos(), CMainFrame::ParkedPosition(w));
            EXPECT_FALSE(frame->rect().intersects(window->geometry()));
            frame->TrackFullScreenBar({w - 20, 10});
            EXPECT_EQ(window->pos(), QPoint(frame->DesktopRect().width() - window->width() - 10, 3));
        } else {
            EXPECT_TRUE(bar->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        }
        // Escape leaves from the toolbar as from the view.
        QTest::keyClick(bar, Qt::Key_Escape);
        EXPECT_FALSE(frame->m_bFullScreen);
        EXPECT_EQ(frame->FullScreenBarWindow(), nullptr);
    }
    CMainFrame::SetBarInsideWindow(false);
}

TEST(FullScreen, SlideShowStepsWrapsAndStops)
{
    TempDir dir;
    WriteTagged(dir.File("1.bmp"), 1);
    WriteTagged(dir.File("2.bmp"), 2);
    WriteTagged(dir.File("3.bmp"), 3);
    RunningApp run;
    CMainFrame* frame = run.frame;
    CKorvexView* view = run.View();
    EXPECT_FALSE(frame->Router().Query(res::ID_SLIDE_START).m_bEnabled);
    EXPECT_FALSE(frame->Router().Query(res::ID_SLIDE_STOP).m_bEnabled);

    Open(run, dir.File("2.bmp"));
    frame->ExecuteCommand(res::ID_FULL_SCREEN);
    ASSERT_TRUE(frame->Router().Query(res::ID_SLIDE_START).m_bEnabled);
    QAction* start = BarAction(frame, res::ID_SLIDE_START);
    ASSERT_NE(start, nullptr);
    start->trigger();
    EXPECT_TRUE(frame->m_bSlideShow);
    EXPECT_TRUE(view->IsTimerArmed(1111));
    EXPECT_EQ(ShownTag(view), 2); // nothing changes at once
    EXPECT_FALSE(frame->Router().Query(res::ID_SLIDE_START).m_bEnabled);
    EXPECT_TRUE(frame->Router().Query(res::ID_SLIDE_STOP).m_bEnabled);
    EXPECT_FALSE(frame->Router().Query(res::ID_DELETE).m_bEnabled);

    view->OnTimer(1111);
    EXPECT_EQ(ShownTag(view), 3);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("3.bmp - Tobble"));
    EXPECT_EQ(view->m_bEffectPending, 1);
    // The panes are current although the status bar is hidden.
    EXPECT_EQ(frame->GetPaneText(0), QString::fromStdString(dir.File("3.bmp")));
    EXPECT_EQ(frame->GetPaneText(3), QStringLiteral("宽×高 = 2×1"));
    view->OnTimer(1111); // wraps from the last to the first
    EXPECT_EQ(ShownTag(view), 1);
    EXPECT_EQ(run.frame->GetDocument()->m_nCurrent, 0);
    view->OnTimer(2222); // not the view's
    EXPECT_EQ(ShownTag(view), 1);

    // A picture that fails: its message only, no word of the picture gone,
    // and the show goes on.
    WriteFileBytes(dir.File("2.bmp"), {'B', 'M'});
    FakeServices& fake = Fake();
    view->OnTimer(1111);
    EXPECT_EQ(fake.messages.size(), 1);
    EXPECT_TRUE(frame->m_bSlideShow);
    EXPECT_EQ(frame->GetPaneText(0), QStringLiteral("未打开任何图像"));
    view->OnTimer(1111);
    EXPECT_EQ(ShownTag(view), 3);

    // Stop then start within the second: the show goes on.
    frame->ExecuteCommand(res::ID_SLIDE_STOP);
    EXPECT_FALSE(frame->m_bSlideShow);
    EXPECT_TRUE(view->IsTimerArmed(1111));
    frame->ExecuteCommand(res::ID_SLIDE_START);
    view->OnTimer(1111);
    EXPECT_EQ(ShownTag(view), 1);
    // Stop: the next step only stops the timer.
    frame->ExecuteCommand(res::ID_SLIDE_STOP);
    view->OnTimer(1111);
    EXPECT_EQ(ShownTag(view), 1);
    EXPECT_FALSE(view->IsTimerArmed(1111));

    // Leaving full screen ends the show.
    frame->ExecuteCommand(res::ID_SLIDE_START);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(frame->m_bSlideShow);
    view->OnTimer(1111);
    EXPECT_FALSE(view->IsTimerArmed(1111));
    EXPECT_EQ(ShownTag(view), 1);
}

TEST(FullScreen, SlideShowEdgeFolders)
{
    TempDir dir;
    WriteTagged(dir.File("only.bmp"), 7);
    RunningApp run;
    CMainFrame* frame = run.frame;
    CKorvexView* view = run.View();
    Open(run, dir.File("only.bmp"));
    frame->ExecuteCommand(res::ID_FULL_SCREEN);
    frame->ExecuteCommand(res::ID_SLIDE_START);
    // One picture: every step reloads it and presents it again.
    for (int i = 0; i < 3; ++i) {
        view->m_bEffectPending = 0;
        view->OnTimer(1111);
        EXPECT_EQ(run.frame->GetDocument()->m_nCurrent, 0);
        EXPECT_EQ(ShownTag(view), 7);
        EXPECT_EQ(view->m_bEffectPending, 1);
    }
    // A list emptied under the show: the step stops it and reads nothing.
    run.frame->GetDocument()->m_nLast = -1;
    run.frame->GetDocument()->m_bFolderEmptied = 1;
    view->OnTimer(1111);
    EXPECT_FALSE(frame->m_bSlideShow);
    EXPECT_FALSE(view->IsTimerArmed(1111));
    EXPECT_FALSE(frame->Router().Query(res::ID_SLIDE_START).m_bEnabled);
    EXPECT_FALSE(frame->Router().Query(res::ID_SLIDE_STOP).m_bEnabled);
    frame->EndFullScreen();
}

TEST(FullScreen, ClosingGoesThroughTheInsetWindow)
{
    int blends = 0;
    for (int k = 0; k < 20; ++k) {
        EXPECT_TRUE(CMainFrame::ClosingFlags(k) & 0x10000) << k; // always a hide
        blends += (CMainFrame::ClosingFlags(k) & 0x80000) ? 1 : 0;
    }
    EXPECT_EQ(blends, 3);
    EXPECT_EQ(CMainFrame::ClosingFlags(0), 0x10010u);

    RunningApp run;
    CMainFrame* frame = run.frame;
    frame->ExecuteCommand(res::ID_FULL_SCREEN);
    const QRect desktop = frame->DesktopRect();
    frame->close();
    EXPECT_FALSE(frame->isVisible());
    EXPECT_FALSE(frame->m_bFullScreen);
    EXPECT_GE(frame->ClosingRow(), 0);
    EXPECT_EQ(frame->geometry(), QRect(QPoint(desktop.left() + 40, desktop.top() + 30),
                                       QPoint(desktop.right() - 40, desktop.bottom() - 30)));
}
