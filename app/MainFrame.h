// The main frame: menu 128, accelerators, the docked toolbar, the
// seven-pane status bar and the opening animation.
#pragma once

#include "CmdTarget.h"

#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QRect>
#include <QVector>

#include <functional>

class QAction;
class QMenu;
class QToolBar;
class QTimer;
class CKorvexDoc;
class CKorvexView;

class CMainFrame : public QMainWindow, public CCmdTarget {
    Q_OBJECT
public:
    CMainFrame(CKorvexDoc* doc, CCmdTarget* app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Builds the bars and plays the opening animation; false when a bar
    // could not be made.
    bool OnCreate();

    CKorvexView* GetActiveView() const { return m_pView; }
    CKorvexDoc* GetDocument() const { return m_pDoc; }
    const CCommandRouter& Router() const { return m_router; }

    // Runs a command the way every source does: update first, then the
    // handler, only if enabled.
    bool ExecuteCommand(int id);
    // Refreshes every action's enabled and checked state and the indicators.
    void UpdateCommandUI();
    // Gives `action` the enabled and checked state of command `id`.
    void ApplyCommandUI(QAction* action, int id) const;

    // Status-bar panes 0 to 6.
    void SetPaneText(int pane, const QString& text);
    QString GetPaneText(int pane) const;
    QLabel* Pane(int pane) const { return m_panes.value(pane); }
    QStatusBar* StatusBar() const { return m_pStatusBar; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    QAction* Action(int id) const { return m_actions.value(id); }

    // The caption: "<document title> - Tobble".
    void UpdateTitle(const QString& documentTitle);

    // Called once the opening animation is over and the window has its
    // final size (the command line's picture is laid out for that size).
    std::function<void()> m_onReady;

    // Whether the window manager is still placing the window after a change
    // the program asked for (maximizing, entering or leaving full screen):
    // until its last resize has been quiet for a while, the view lays the
    // picture out again for each new size.
    bool FollowsWindowManager() const;

    // The opening animation's row (0..19) and its flags.
    int OpeningRow() const { return m_nOpeningRow; }
    static unsigned OpeningFlags(int row);
    // Tests and headless runs skip the 1500 ms animation.
    static void SetAnimationsEnabled(bool on);
    static bool AnimationsEnabled();
    // A native Wayland client: the compositor alone places and sizes the
    // frame, so nothing here sets a geometry it did not configure.
    static bool OnWayland();

    // Full-screen mode, its floating toolbar and the slideshow flag
    // (fullscreen/FullScreen.cpp).
    QRect m_wpPrev;                   // normal geometry saved on entering
    Qt::WindowStates m_wpPrevState;   // and the window state (maximized...)
    int m_bFullScreen = 0;
    int m_bLayoutChanged = 0;         // the view re-centres at its next paint
    int m_bSlideShow = 0;
    int m_bBarShown = 0;              // the floating toolbar is on screen, not parked
    int m_bHidePending = 0;           // timer 2222 is armed
    QRect m_rcFullScreen;
    QToolBar* m_pFullScreenBar = nullptr;
    // What is placed and parked: the toolbar's own tool window, or, where the
    // window system will not place top-level windows, a captioned panel
    // inside the full-screen frame that holds the toolbar.
    QWidget* FullScreenBarWindow() const { return m_pBarWindow; }
    bool BarInsideWindow() const { return m_pBarWindow && !m_pBarWindow->isWindow(); }
    // Every later floating toolbar goes inside the frame (set once a move was
    // found ignored; tests set it too).
    static void SetBarInsideWindow(bool on);

    void OnViewFullScreen();
    void EndFullScreen();
    // The hot-zone rule for a pointer position in view client coordinates.
    void TrackFullScreenBar(const QPoint& point);
    // Timer 2222 parks the floating toolbar; other ids are ignored.
    void OnTimer(int id);
    bool IsTimerArmed(int id) const;
    // The screen the frame is on.
    QRect DesktopRect() const;
    // The floating toolbar's place when parked, and its hot zone, for a
    // screen `width` pixels wide.
    static QPoint ParkedPosition(int width);
    static bool InHotZone(const QPoint& point, int width);
    // The closing animation's flags for row k (0..19), and the last row used.
    static unsigned ClosingFlags(int row);
    int ClosingRow() const { return m_nClosingRow; }

    void OnViewStatusBar();
    void OnViewToolBar();

protected:
    bool event(QEvent* event) override;
    // Escape leaves full screen whichever of the program's windows has it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* MakeAction(int id, const QString& text);
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void PlayOpeningAnimation(int row);
    void ShowMaximizedEverywhere();
    // Ends the wait for the maximized size (once; later calls do nothing).
    void Settle();
    bool CoversAvailableArea() const;
    bool m_bSettling = false;
    bool CreateFullScreenBar();
    void FloatFullScreenBar(int x, int y);
    // Reads the tool window's position back after a move; a window manager
    // that ignored it sends the toolbar inside the frame.
    void CheckBarPlacement();
    void DestroyFullScreenBar();
    // A toolbar inside the frame keeps its distance from the right edge
    // while the compositor brings the frame to its full-screen size.
    void KeepBarInCorner();
    // The frame has its screen's size: full screen has been granted.
    bool CoversScreen() const;
    // Returns true when the frame may close at once (no animation).
    bool StartClosingAnimation();

    CKorvexDoc* m_pDoc;
    CKorvexView* m_pView;
    CCmdTarget* m_pApp;
    CCommandRouter m_router;
    QHash<int, QAction*> m_actions;
    QToolBar* m_pToolBar = nullptr;
    QStatusBar* m_pStatusBar = nullptr;
    QVector<QLabel*> m_panes;
    QTimer* m_pIdleTimer = nullptr;
    int m_nOpeningRow = -1;
    int m_nClosingRow = -1;
    bool m_bClosingDone = false;
    QTimer* m_pHideTimer = nullptr;     // timer 2222
    QTimer* m_pPlacing = nullptr;       // runs while the window manager places the window
    QTimer* m_pPlacementCheck = nullptr;
    QWidget* m_pBarWindow = nullptr;
    QPoint m_barWanted;                 // where the last move asked the toolbar to go
    int m_nBarWidthWanted = 0;          // and its width then
    bool m_bPlacementRetried = false;
    int m_nPlacementChecks = 0;         // read-backs since the last move
    bool m_bMaximizeWhenNormal = false; // left full screen on Wayland, maximized before
    QHash<int, QAction*> m_fullScreenActions;
};
