#include "MainFrame.h"

#include "KorvexDoc.h"
#include "WindowAnimation.h"
#include "WindowSystem.h"
#include "KorvexView.h"
#include "res/artwork.h"
#include "res/resources.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdlib>
#include <ctime>

namespace {

bool g_animations = true;


constexpr unsigned kOpeningFlags[20] = {
    AW_ACTIVATE | AW_CENTER,
    AW_ACTIVATE | AW_BLEND,
    AW_ACTIVATE | AW_HOR_POSITIVE,
    AW_ACTIVATE | AW_HOR_NEGATIVE,
    AW_ACTIVATE | AW_VER_POSITIVE,
    AW_ACTIVATE | AW_VER_NEGATIVE,
    AW_ACTIVATE | AW_SLIDE | AW_HOR_POSITIVE,
    AW_ACTIVATE | AW_SLIDE | AW_HOR_NEGATIVE,
    AW_ACTIVATE | AW_SLIDE | AW_VER_POSITIVE,
    AW_ACTIVATE | AW_SLIDE | AW_VER_NEGATIVE,
    AW_ACTIVATE | AW_HOR_POSITIVE | AW_VER_POSITIVE,
    AW_ACTIVATE | AW_HOR_POSITIVE | AW_VER_NEGATIVE,
    AW_ACTIVATE | AW_HOR_NEGATIVE | AW_VER_POSITIVE,
    AW_ACTIVATE | AW_HOR_NEGATIVE | AW_VER_NEGATIVE,
    AW_ACTIVATE | AW_SLIDE | AW_HOR_POSITIVE | AW_VER_POSITIVE,
    AW_ACTIVATE | AW_SLIDE | AW_HOR_POSITIVE | AW_VER_NEGATIVE,
    AW_ACTIVATE | AW_SLIDE | AW_HOR_NEGATIVE | AW_VER_POSITIVE,
    AW_ACTIVATE | AW_SLIDE | AW_HOR_NEGATIVE | AW_VER_NEGATIVE,
    AW_ACTIVATE | AW_BLEND,
    AW_ACTIVATE | AW_BLEND,
};

} // namespace

unsigned CMainFrame::OpeningFlags(int row)
{
    return row >= 0 && row < 20 ? kOpeningFlags[row] : 0;
}

void CMainFrame::SetAnimationsEnabled(bool on)
{
    g_animations = on;
}

bool CMainFrame::AnimationsEnabled()
{
    return g_animations;
}

bool CMainFrame::OnWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

CMainFrame::CMainFrame(CKorvexDoc* doc, CCmdTarget* app, QWidget* parent)
    : QMainWindow(parent), m_pDoc(doc), m_pApp(app)
{
    m_pView = new CKorvexView(doc, this);
    m_pView->SetFrame(this);
    setCentralWidget(m_pView);
    m_pView->setFocus(); // the view's own keys work from the start
    m_router.SetTargets({m_pView, m_pDoc, this, m_pApp});
    setWindowIcon(QIcon(res::AppIcon(48)));
    m_pDoc->m_onTitleChanged = [this](const QString& title) { UpdateTitle(title); };
    UpdateTitle(m_pDoc->GetTitle());

    OnCommand(res::ID_VIEW_STATUS_BAR, [this] { OnViewStatusBar(); });
    OnUpdate(res::ID_VIEW_STATUS_BAR, [this](CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(m_pStatusBar && !m_pStatusBar->isHidden() ? 1 : 0);
    });
    OnCommand(res::ID_VIEW_TOOLBAR, [this] { OnViewToolBar(); });
    OnUpdate(res::ID_VIEW_TOOLBAR, [this](CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(m_pToolBar && !m_pToolBar->isHidden() ? 1 : 0);
    });
    OnCommand(res::ID_APP_EXIT, [this] { close(); });
    OnCommand(res::ID_FULL_SCREEN, [this] { OnViewFullScreen(); });
    OnUpdate(res::ID_FULL_SCREEN, [this](CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(m_bFullScreen ? 1 : 0);
    });
    m_pPlacing = new QTimer(this);
    m_pPlacing->setSingleShot(true);
    m_pPlacing->setInterval(1000);
    m_pHideTimer = new QTimer(this);
    m_pHideTimer->setInterval(5000);
    connect(m_pHideTimer, &QTimer::timeout, this, [this] { OnTimer(2222); });
    m_pPlacementCheck = new QTimer(this);
    m_pPlacementCheck->setSingleShot(true);
    m_pPlacementCheck->setInterval(500);
    connect(m_pPlacementCheck, &QTimer::timeout, this, [this] { CheckBarPlacement(); });
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::UpdateTitle(const QString& documentTitle)
{
    setWindowTitle(documentTitle + QStringLiteral(" - ") + res::WindowTitle());
}

QAction* CMainFrame::MakeAction(int id, const QString& text)
{
    if (QAction* existing = m_actions.value(id))
        return existing;
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setToolTip(res::Tooltip(id));
    action->setStatusTip(QString()); // prompts never reach the status bar
    action->setIcon(res::ToolbarIcon(id));
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
    addAction(action); // keys work even while the menu bar is hidden
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::BuildMenus()
{
    for (const res::Menu& menu : res::MainMenu()) {
        QMenu* popup = menuBar()->addMenu(menu.title);
        for (const res::MenuItem& item : menu.items) {
            if (item.IsSeparator()) {
                popup->addSeparator();
                continue;
            }
            QAction* action = MakeAction(item.command, item.text);
            action->setCheckable(item.checked);
            action->setChecked(item.checked);
            action->setEnabled(!item.grayed);
            popup->addAction(action);
        }
        connect(popup, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
    }
    // Accelerator table 128. Commands without a menu item still get an
    // action, so their keys are caught (and do nothing while disabled).
    QHash<int, QList<QKeySequence>> keys;
    for (const auto* table : {&res::Accelerators(), &res::ExtraAccelerators()})
        for (const res::Accelerator& a : *table)
            keys[a.command].append(a.keys);
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        QAction* action = MakeAction(it.key(), res::Tooltip(it.key()));
        action->setShortcuts(it.value());
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

void CMainFrame::BuildToolBar()
{
    m_pToolBar = new QToolBar(QStringLiteral("工具栏"), this);
    m_pToolBar->setObjectName(QStringLiteral("toolbar59392"));
    m_pToolBar->setIconSize(QSize(18, 15));
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : res::MainToolbar()) {
        if (id == 0)
            m_pToolBar->addSeparator();
        else
            m_pToolBar->addAction(MakeAction(id, res::Tooltip(id)));
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::BuildStatusBar()
{
    m_pStatusBar = new QStatusBar(this);
    m_pStatusBar->setObjectName(QStringLiteral("statusbar101"));
    m_pStatusBar->setSizeGripEnabled(true);
    setStatusBar(m_pStatusBar);
    const QFontMetrics fm(m_pStatusBar->font());
    for (int i = 0; i < 7; ++i) {
        auto* label = new QLabel(m_pStatusBar);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        if (i == 0) {
            label->setMinimumWidth(50);
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            m_pStatusBar->addWidget(label, 1);
        } else {
            int width = 100;
            if (i == 5)
                width = fm.horizontalAdvance(res::String(res::ID_INDICATOR_LEFT)) + 8;
            if (i == 6)
                width = fm.horizontalAdvance(res::String(res::ID_INDICATOR_RIGHT)) + 8;
            label->setFixedWidth(width);
            m_pStatusBar->addPermanentWidget(label);
        }
        m_panes.append(label);
    }
}

bool CMainFrame::OnCreate()
{
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    if (!m_pToolBar || !m_pStatusBar || m_panes.size() != 7)
        return false;
    m_pIdleTimer = new QTimer(this);
    m_pIdleTimer->setInterval(100);
    connect(m_pIdleTimer, &QTimer::timeout, this, [this] { UpdateCommandUI(); });
    m_pIdleTimer->start();
    UpdateCommandUI();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        resize(avail.width() * 3 / 4, avail.height() * 3 / 4);
        move(avail.center() - rect().center());
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    PlayOpeningAnimation(std::rand() % 20);
    return true;
}

void CMainFrame::PlayOpeningAnimation(int row)
{
    m_nOpeningRow = row;
    const unsigned flags = OpeningFlags(row);
    if (!g_animations) {
        ShowMaximizedEverywhere();
        return;
    }
    // What the window system allows: a fade where opacity works, otherwise
    // the window rolls, slides or expands into place; it always ends
    // maximized.
    const QRect end = geometry();
    const QRect start = AnimationEdgeRect(flags, end);
    QPropertyAnimation* animation;
    if (flags & AW_BLEND) {
        setWindowOpacity(0.0);
        animation = new QPropertyAnimation(this, "windowOpacity", this);
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
    } else {
        setGeometry(start);
        animation = new QPropertyAnimation(this, "geometry", this);
        animation->setStartValue(start);
        animation->setEndValue(end);
    }
    animation->setDuration(1500);
    connect(animation, &QPropertyAnimation::finished, this, [this] {
        setWindowOpacity(1.0);
        ShowMaximizedEverywhere();
    });
    show();
    activateWindow();
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CMainFrame::ShowMaximizedEverywhere()
{
    // A window manager maximizes the window itself, and takes a geometry
    // asked for while it does (or once it has) as a wish to leave the
    // maximized state: there the state alone is asked for. Without one the
    // state changes nothing, and the window takes the available area by
    // hand. Either way the picture waits for the resize that brings the
    // final size, not for a fixed time; the timer only covers a window
    // system that never sends one.
    m_bSettling = true;
    const bool byHand = !m_bFullScreen && !OnWayland() && !X11WindowManagerRunning();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (byHand && s)
        setGeometry(s->availableGeometry());
    showMaximized();
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || (byHand && CoversAvailableArea()))
        QTimer::singleShot(0, this, [this] { Settle(); });
    else
        QTimer::singleShot(byHand ? 300 : 2000, this, [this] { Settle(); });
}

bool CMainFrame::CoversAvailableArea() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return true;
    const QRect avail = s->availableGeometry();
    return frameGeometry().width() >= avail.width() * 9 / 10 && frameGeometry().height() >= avail.height() * 9 / 10;
}

void CMainFrame::Settle()
{
    if (!m_bSettling)
        return;
    m_bSettling = false;
    // Without a window manager the maximized state alone changes nothing:
    // then take the available area by hand (never with one: see above).
    if (isMaximized() && !m_bFullScreen && !OnWayland() && !CoversAvailableArea() && !X11WindowManagerRunning())
        if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
            setGeometry(s->availableGeometry());
    if (m_onReady) {
        auto ready = std::move(m_onReady);
        m_onReady = nullptr;
        ready();
    }
}

bool CMainFrame::ExecuteCommand(int id)
{
    // A command acts on the picture whole: a playing effect ends first.
    if (CKorvexView* view = GetActiveView())
        view->StopEffect();
    const bool ran = m_router.Execute(id);
    UpdateCommandUI();
    return ran;
}

void CMainFrame::UpdateCommandUI()
{
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it)
        ApplyCommandUI(it.value(), it.key());
    for (auto it = m_fullScreenActions.begin(); it != m_fullScreenActions.end(); ++it)
        ApplyCommandUI(it.value(), it.key());
    // The mouse-button indicators.
    if (m_panes.size() == 7) {
        const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
        m_panes[5]->setText(buttons & Qt::LeftButton ? res::String(res::ID_INDICATOR_LEFT) : QString());
        m_panes[6]->setText(buttons & Qt::RightButton ? res::String(res::ID_INDICATOR_RIGHT) : QString());
    }
}

void CMainFrame::ApplyCommandUI(QAction* action, int id) const
{
    const CCmdUI ui = m_router.Query(id);
    action->setEnabled(ui.m_bEnabled);
    if (ui.m_bCheckSet) {
        // Only a checked item is checkable, so an unchecked one shows no
        // empty box in a menu and a plain button in a toolbar.
        action->setCheckable(ui.m_nCheck != 0);
        action->setChecked(ui.m_nCheck != 0);
    }
}

void CMainFrame::SetPaneText(int pane, const QString& text)
{
    QLabel* label = m_panes.value(pane);
    if (!label)
        return;
    label->setText(text);
    // The fixed panes keep their width as the least and grow, never shrink,
    // so that whatever the font their texts are seen whole.
    if (pane >= 1 && pane <= 4) {
        const int needed = label->sizeHint().width();
        if (needed > label->minimumWidth())
            label->setFixedWidth(needed);
    }
}

QString CMainFrame::GetPaneText(int pane) const
{
    QLabel* label = m_panes.value(pane);
    return label ? label->text() : QString();
}

void CMainFrame::OnViewStatusBar()
{
    m_pStatusBar->setVisible(m_pStatusBar->isHidden());
}

void CMainFrame::OnViewToolBar()
{
    m_pToolBar->setVisible(m_pToolBar->isHidden());
}

bool CMainFrame::FollowsWindowManager() const
{
    return m_pPlacing->isActive();
}

bool CMainFrame::event(QEvent* event)
{
    // Menu and toolbar prompts never enter the status bar.
    if (event->type() == QEvent::StatusTip)
        return true;
    // A change of state hands the window to the window manager, which may
    // resize it several times (decorations, maximizing) before it is done.
    if (event->type() == QEvent::WindowStateChange || (event->type() == QEvent::Resize && m_pPlacing->isActive()))
        m_pPlacing->start();
    // The compositor took the window out of full screen (it has its normal
    // size): now maximize it.
    if (event->type() == QEvent::Resize && m_bMaximizeWhenNormal && !m_bFullScreen
        && size() != m_rcFullScreen.size()) {
        m_bMaximizeWhenNormal = false;
        QTimer::singleShot(0, this, [this] {
            if (!m_bFullScreen)
                showMaximized();
        });
    }
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Resize && m_bFullScreen && BarInsideWindow()) {
        KeepBarInCorner();
        if (m_pBarWindow->isHidden() && CoversScreen())
            m_pBarWindow->show();
    }
    // The resize that brings the maximized size ends the wait for it; the
    // layouts take it in before the picture is opened.
    if (m_bSettling && event->type() == QEvent::Resize && CoversAvailableArea())
        QTimer::singleShot(0, this, [this] { Settle(); });
    return handled;
}
