// The frame's full-screen mode: hiding the bars, covering the screen, the
// floating toolbar that parks itself in the top-right corner, and the
// closing animation.
#include "app/KorvexView.h"
#include "app/MainFrame.h"
#include "app/WindowAnimation.h"
#include "app/WindowSystem.h"
#include "res/artwork.h"
#include "res/resources.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPropertyAnimation>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdlib>
#include <ctime>

namespace {

constexpr unsigned kClosingFlags[20] = {
    AW_HIDE | AW_CENTER,
    AW_HIDE | AW_BLEND,
    AW_HIDE | AW_HOR_POSITIVE,
    AW_HIDE | AW_HOR_NEGATIVE,
    AW_HIDE | AW_VER_POSITIVE,
    AW_HIDE | AW_VER_NEGATIVE,
    AW_HIDE | AW_SLIDE | AW_HOR_POSITIVE,
    AW_HIDE | AW_SLIDE | AW_HOR_NEGATIVE,
    AW_HIDE | AW_SLIDE | AW_VER_POSITIVE,
    AW_HIDE | AW_SLIDE | AW_VER_NEGATIVE,
    AW_HIDE | AW_HOR_POSITIVE | AW_VER_POSITIVE,
    AW_HIDE | AW_HOR_POSITIVE | AW_VER_NEGATIVE,
    AW_HIDE | AW_HOR_NEGATIVE | AW_VER_POSITIVE,
    AW_HIDE | AW_HOR_NEGATIVE | AW_VER_NEGATIVE,
    AW_HIDE | AW_SLIDE | AW_HOR_POSITIVE | AW_VER_POSITIVE,
    AW_HIDE | AW_SLIDE | AW_HOR_POSITIVE | AW_VER_NEGATIVE,
    AW_HIDE | AW_SLIDE | AW_HOR_NEGATIVE | AW_VER_POSITIVE,
    AW_HIDE | AW_SLIDE | AW_HOR_NEGATIVE | AW_VER_NEGATIVE,
    AW_HIDE | AW_BLEND,
    AW_HIDE | AW_BLEND,
};

bool g_barInside = false;

// How often a tool window's place is read back (every 500 ms) before its
// move counts as ignored.
constexpr int kPlacementChecks = 6;

// The toolbar's width: its window's own rectangle.
int BarWidth(const QWidget* bar)
{
    return bar->frameGeometry().width();
}

} // namespace

unsigned CMainFrame::ClosingFlags(int row)
{
    return row >= 0 && row < 20 ? kClosingFlags[row] : 0;
}

QRect CMainFrame::DesktopRect() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, 1024, 768);
}

// The corner the toolbar lives in follows the screen's width: the last 324
// pixels of the top edge (plus a 4-pixel margin past it), and parking puts
// the toolbar just beyond the right edge. On a 1024-pixel screen these are
// 700..1028 and (1028, 0).
QPoint CMainFrame::ParkedPosition(int width)
{
    return QPoint(width + 4, 0);
}

bool CMainFrame::InHotZone(const QPoint& p, int width)
{
    return p.x() >= width - 324 && p.x() < width + 4 && p.y() >= -5 && p.y() < 80;
}

bool CMainFrame::IsTimerArmed(int id) const
{
    if (id == 2222)
        return m_pHideTimer && m_pHideTimer->isActive();
    return false;
}

void CMainFrame::OnViewFullScreen()
{
    if (m_bFullScreen) {
        EndFullScreen();
        return;
    }
    // Both bars go; the menu bar too, while its keys keep working (every
    // action is also the frame's own).
    m_pStatusBar->hide();
    m_pToolBar->hide();
    menuBar()->hide();

    m_bMaximizeWhenNormal = false;
    m_wpPrev = normalGeometry();
    m_wpPrevState = windowState();
    m_rcFullScreen = DesktopRect();

    if (!CreateFullScreenBar()) {
        // The bars stay hidden (the View menu brings them back); the window
        // keeps its place and the next F11 tries again.
        menuBar()->show();
        return;
    }
    FloatFullScreenBar(0, 100);
    FloatFullScreenBar(m_rcFullScreen.width() - BarWidth(m_pBarWindow) - 15, 3);

    m_bFullScreen = 1;
    m_bLayoutChanged = 1;
    m_bBarShown = 1;
    m_pHideTimer->start();
    m_bHidePending = 1;

    if (!OnWayland()) {
        // While full screen is on, the frame's largest size is the screen's.
        setMaximumSize(m_rcFullScreen.size());
        // The geometry too, for window systems without a manager to honour
        // the full-screen state.
        setGeometry(m_rcFullScreen);
    }
    showFullScreen();
    m_pBarWindow->raise();
    if (m_pView)
        m_pView->setFocus();
    UpdateCommandUI();
}

bool CMainFrame::CreateFullScreenBar()
{
    const QString caption = QStringLiteral("全屏/幻灯片模式");
    const bool inside = g_barInside || OnWayland();
    auto* bar = new QToolBar(caption, this);
    bar->setObjectName(QStringLiteral("toolbar131"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 15));
    for (int id : res::FullScreenToolbar()) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = m_fullScreenActions.value(id);
        if (!action) {
            action = new QAction(res::ToolbarIcon(id, 16, 15), res::Tooltip(id), this);
            action->setData(id);
            action->setToolTip(res::Tooltip(id));
            connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
            m_fullScreenActions.insert(id, action);
        }
        bar->addAction(action);
        // A click on a button leaves the keyboard where it was.
        if (QWidget* button = bar->widgetForAction(action))
            button->setFocusPolicy(Qt::NoFocus);
    }
    if (bar->actions().isEmpty()) {
        delete bar;
        return false;
    }
    bar->setFocusPolicy(Qt::NoFocus);
    QWidget* window = bar;
    if (inside) {
        // A small captioned panel over the picture, clipped by the frame's
        // edge when parked.
        auto* panel = new QFrame(this);
        panel->setObjectName(QStringLiteral("toolbar131panel"));
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setAutoFillBackground(true);
        auto* title = new QLabel(caption, panel);
        title->setObjectName(QStringLiteral("toolbar131caption"));
        title->setBackgroundRole(QPalette::Highlight);
        title->setForegroundRole(QPalette::HighlightedText);
        title->setAutoFillBackground(true);
        title->setContentsMargins(4, 1, 4, 1);
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->setSpacing(0);
        layout->addWidget(title);
        layout->addWidget(bar);
        window = panel;
    } else {
        // A tool window of its own that never docks and never takes the
        // keyboard.
        bar->setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
        bar->setAttribute(Qt::WA_ShowWithoutActivating);
        bar->setWindowTitle(caption);
    }
    m_pFullScreenBar = bar;
    m_pBarWindow = window;
    window->adjustSize();
    // The panel comes with full screen itself: a window system that takes
    // its time to grant it would otherwise show it for a moment inside the
    // frame that is still maximized. A second is the most it waits.
    if (!inside || CoversScreen()) {
        window->show();
    } else {
        QTimer::singleShot(1000, window, [this, window] {
            if (m_pBarWindow == window)
                window->show();
        });
    }
    return true;
}

bool CMainFrame::CoversScreen() const
{
    return size() == DesktopRect().size();
}

void CMainFrame::DestroyFullScreenBar()
{
    m_pPlacementCheck->stop();
    if (!m_pBarWindow)
        return;
    // Later, not now: its own button may be what asked for it.
    m_pBarWindow->hide();
    m_pBarWindow->deleteLater();
    m_pBarWindow = nullptr;
    m_pFullScreenBar = nullptr;
}

void CMainFrame::SetBarInsideWindow(bool on)
{
    g_barInside = on;
}

void CMainFrame::FloatFullScreenBar(int x, int y)
{
    if (!m_pBarWindow)
        return;
    m_barWanted = QPoint(x, y);
    m_nBarWidthWanted = BarWidth(m_pBarWindow);
    m_bPlacementRetried = false;
    m_nPlacementChecks = 0;
    m_pBarWindow->move(x, y);
    if (m_pBarWindow->isWindow()) {
        if (m_pBarWindow->isHidden())
            m_pBarWindow->show(); // parked by hiding, recalled now
        m_pPlacementCheck->start();
    }
}

void CMainFrame::CheckBarPlacement()
{
    if (!m_bFullScreen || !m_pBarWindow || !m_pBarWindow->isWindow())
        return;
    const auto at = [this](const QPoint& p) { return (p - m_barWanted).manhattanLength() <= 2; };
    const QPoint client = ClientPosition(m_pBarWindow);
    const QPoint frame = client - (m_pBarWindow->geometry().topLeft() - m_pBarWindow->frameGeometry().topLeft());
    if (at(frame))
        return;
    if (at(client)) {
        // Moved before its frame was known: the window itself went to the
        // place meant for the frame. Once more, now that the frame is known.
        // Its width has grown by the frame's borders, which the right-hand
        // distance takes in.
        if (!m_bPlacementRetried) {
            m_bPlacementRetried = true;
            m_barWanted.rx() -= BarWidth(m_pBarWindow) - m_nBarWidthWanted;
            m_pBarWindow->move(m_barWanted);
            m_pPlacementCheck->start();
        }
        return;
    }
    // A window manager that keeps windows on the screen will not park the
    // toolbar off its edge: then parked means hidden.
    if (!m_bBarShown) {
        m_pBarWindow->hide();
        return;
    }
    // A busy window manager may not have got to the move yet; one that
    // ignores moves never does. Read back for a few seconds before deciding.
    if (++m_nPlacementChecks < kPlacementChecks) {
        m_pPlacementCheck->start();
        return;
    }
    // The window manager keeps the toolbar where it likes: from now on the
    // toolbar lives inside the frame.
    g_barInside = true;
    DestroyFullScreenBar();
    if (!CreateFullScreenBar())
        return;
    FloatFullScreenBar(m_rcFullScreen.width() - BarWidth(m_pBarWindow) - 15, 3);
    m_pBarWindow->raise();
}

void CMainFrame::KeepBarInCorner()
{
    if (width() == m_rcFullScreen.width())
        return;
    const int gap = m_rcFullScreen.width() - m_barWanted.x();
    m_rcFullScreen.setSize(size());
    FloatFullScreenBar(width() - gap, m_barWanted.y());
}

void CMainFrame::EndFullScreen()
{
    if (!m_bFullScreen)
        return;
    DestroyFullScreenBar();
    m_bFullScreen = 0;
    m_bLayoutChanged = 1;
    m_bSlideShow = 0; // the view's next slideshow step stops its timer
    if (m_bHidePending) {
        m_pHideTimer->stop();
        m_bHidePending = 0;
    }
    m_bBarShown = 0;
    menuBar()->show();
    m_pStatusBar->show();
    m_pToolBar->show();

    const Qt::WindowStates state = m_wpPrevState & ~Qt::WindowFullScreen;
    if (OnWayland()) {
        // The compositor sizes the window for the state it gets back. Out
        // of full screen first: asked for both at once, a compositor may
        // configure a maximized window of no size, and the next frame then
        // breaks the protocol. Maximized once it confirms with the normal
        // size (event()).
        m_bMaximizeWhenNormal = (state & Qt::WindowMaximized) != 0;
        showNormal();
        UpdateCommandUI();
        return;
    }
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (state & Qt::WindowMaximized) {
        showNormal();
        setGeometry(m_wpPrev);
        ShowMaximizedEverywhere();
    } else {
        showNormal();
        setGeometry(m_wpPrev);
    }
    UpdateCommandUI();
}

void CMainFrame::TrackFullScreenBar(const QPoint& point)
{
    const int width = m_rcFullScreen.width();
    const bool inside = InHotZone(point, width);
    if (inside && !m_bBarShown) {
        m_bBarShown = 1;
        if (m_pBarWindow)
            FloatFullScreenBar(DesktopRect().width() - BarWidth(m_pBarWindow) - 10, 3);
    } else if (inside && m_bBarShown) {
        if (m_bHidePending) {
            m_pHideTimer->stop();
            m_bHidePending = 0;
        }
    } else if (!inside && m_bBarShown && !m_bHidePending) {
        m_pHideTimer->start();
        m_bHidePending = 1;
    }
}

void CMainFrame::OnTimer(int id)
{
    if (id != 2222)
        return;
    m_pHideTimer->stop();
    const QPoint parked = ParkedPosition(m_rcFullScreen.width());
    FloatFullScreenBar(parked.x(), parked.y());
    m_bBarShown = 0;
    m_bHidePending = 0;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_bClosingDone) {
        QMainWindow::closeEvent(event);
        return;
    }
    if (StartClosingAnimation()) {
        m_bClosingDone = true;
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore(); // the animation closes the frame when it ends
}

bool CMainFrame::StartClosingAnimation()
{
    if (m_nClosingRow >= 0)
        return false; // already on its way out
    // First the inset window, whatever the window was (maximized, full screen).
    EndFullScreen();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    m_nClosingRow = std::rand() % 20;
    const unsigned flags = ClosingFlags(m_nClosingRow);
    // A compositor that places the window alone would reject an inset size
    // for a maximized window: there the window simply goes.
    if (OnWayland())
        return true;
    const QRect desktop = DesktopRect();
    const QRect inset(QPoint(desktop.left() + 40, desktop.top() + 30),
                      QPoint(desktop.right() - 40, desktop.bottom() - 30));
    showNormal();
    setGeometry(inset);
    if (!AnimationsEnabled())
        return true;
    // A fade where window opacity works; otherwise the window rolls, slides
    // or collapses away (or simply goes where the system ignores both).
    QPropertyAnimation* animation;
    if (flags & AW_BLEND) {
        animation = new QPropertyAnimation(this, "windowOpacity", this);
        animation->setStartValue(1.0);
        animation->setEndValue(0.0);
    } else {
        const QRect full = geometry();
        animation = new QPropertyAnimation(this, "geometry", this);
        animation->setStartValue(full);
        animation->setEndValue(AnimationEdgeRect(flags, full));
    }
    animation->setDuration(1500);
    connect(animation, &QPropertyAnimation::finished, this, [this] {
        m_bClosingDone = true;
        close();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return false;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Escape reaches the view only while it has the keyboard; any other
    // widget of the frame, or the floating toolbar, may have it instead.
    // Dialogs and menus keep their own Escape.
    if (event->type() == QEvent::KeyPress && m_bFullScreen && watched->isWidgetType()
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !QApplication::activePopupWidget()
        && !QApplication::activeModalWidget()) {
        const QWidget* window = static_cast<QWidget*>(watched)->window();
        if (window == this || (m_pBarWindow && window == m_pBarWindow))
            EndFullScreen();
    }
    return QMainWindow::eventFilter(watched, event);
}
