// The scrolling view that owns the picture on screen: layout, zoom, paint,
// status texts and the context menu.
//
// Painting: the view keeps a viewport-sized surface holding what the window
// shows. Invalidate() schedules (queued, coalesced) an erase and OnDraw on
// that surface outside Qt's paint event; paintEvent only copies it.
#pragma once

#include "CmdTarget.h"
#include "Services.h"
#include "ViewLayout.h"
#include "picture/effects.h"
#include "picture/picture.h"
#include "platform/surface.h"

#include <QAbstractScrollArea>

#include <string>

class CKorvexDoc;
class CMainFrame;
class QMenu;
class QPaintDevice;
class QTimer;

class CKorvexView : public QAbstractScrollArea, public CCmdTarget {
    Q_OBJECT
public:
    CKorvexView(CKorvexDoc* doc, QWidget* parent = nullptr);

    CKorvexDoc* GetDocument() const { return m_pDocument; }
    void SetFrame(CMainFrame* frame) { m_pFrame = frame; }

    // Layout and status, used by every command that brings a picture.
    void FitNewPicture();
    void CentreInClient();
    void ShowPictureInfo(const QString& path);
    // Open once the file was chosen: load, show, and make its folder the
    // list. False when the reader refused it (its message has been shown).
    // OpenPath takes the path's bytes; OpenPicture takes decoded text (a
    // dialog's or a drop's) and finds the file it stands for.
    bool OpenPicture(const QString& path);
    bool OpenPath(const std::string& path);

    // File commands.
    void OnFileOpen();
    void OnFileSaveAs();
    void OnDeletePicture();
    void OnOpenWithDefault();
    void OnOpenWithPaint();
    // The current entry in double quotes with every backslash doubled, the
    // way a Windows command line wants it.
    QString QuotePath() const;
    // Previous (-1) and Next (+1); a larger step stops at the list's ends
    // (First and Last).
    void StepPicture(int step);
    // The folder of the picture on screen ("" before the first one).
    QString CurrentFolder() const;
    // The file type lists of the Open and Save dialogs.
    static QVector<FileFilter> OpenFilters();
    static QVector<FileFilter> SaveFilters();

    // Schedules an erase and OnDraw; several calls before the event loop
    // runs give one redraw.
    void Invalidate();
    // Runs the scheduled redraw now (tests, synchronous presentation).
    void RedrawNow();
    const SurfaceDC& Surface() const { return m_surface; }
    void OnDraw(SurfaceDC* dc);

    // Zoom commands.
    void OnZoomActual();
    void OnZoomFit();
    void OnZoomFixed(float zoom);
    void OnZoomIn();
    void OnZoomOut();
    void OnEffectOnLoad() { m_bEffectsOff = m_bEffectsOff ? 0 : 1; }

    // Effects and rotation (ViewEffects.cpp). The command that selects load
    // effect `number` (1..10).
    static int EffectCommand(int number);
    void Rotate(int quarterTurns);

    // Full screen and the slideshow (fullscreen/SlideShow.cpp).
    void OnViewFullScreen();
    void OnSlideStart();
    void OnSlideStop();
    // Timer 1111 is one slideshow step; other ids are ignored.
    void OnTimer(int id);
    bool IsTimerArmed(int id) const;

    // The printed page, the same for Print and Print Preview: the whole
    // picture inside the printable area (the device's whole area).
    void PrintPage(QPaintDevice* printer);

    // The context menu (menu 133), built with its grayed states read now.
    QMenu* BuildContextMenu();

    // An effect is playing: its steps come from a timer while the window
    // keeps taking events; input ends it (ViewEffects.cpp).
    bool EffectPlaying() const { return m_effect.Playing(); }
    // Ends the playing effect at once with the picture whole on screen (an
    // immediate effect puts the picture's bytes back first).
    void StopEffect();

    // Plays load effect `effect` into `dc`; false when it drew nothing, and
    // the picture is then drawn plainly. Drawing into the view's surface it
    // starts the effect and returns at its first step. Tests may replace it.
    std::function<bool(int effect, SurfaceDC* dc)> m_playEffect;

    // The layout the members below name (declared first so they can refer to it).
    ViewLayout m_layout;
    CPicture m_picture;
    float& m_fZoom;
    int m_nEffect = 0;
    int m_bRandomEffect = 1;
    int& m_nOffsetX;
    int& m_nOffsetY;
    int& m_nClientWidth;
    int& m_nClientHeight;
    int m_nOrientation = 1;
    int m_bEffectsOff = 0;
    int m_bDepthCheck = 0;
    int m_bEffectPending = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool PictureCommandsEnabled() const;
    // Device pixels per logical pixel, and the viewport's size in device
    // pixels: the surface, the layout and the scroll ranges all count in
    // device pixels, so that a picture at 1.0 is drawn pixel for pixel.
    double DevicePixelRatio() const;
    QSize DeviceViewportSize() const;
    // The view's own keys (ViewInput.cpp); true when the key was taken.
    bool HandleViewKey(QKeyEvent* event);
    // Runs a command through the frame, as its key or menu item would.
    bool RunCommand(int id);
    // Zoom in or out keeping the picture point under `at` (device pixels in
    // the viewport) where it is.
    void ZoomAround(int command, QPointF at);
    bool PictureLargerThanWindow() const;
    void UpdatePanCursor();
    void RegisterEffectCommands();
    // Shows the surface on screen now (one step of an effect).
    void FlushSurface();
    void ShowFrameBeforeEffect();
    void PlayImmediateEffect(ImmediateEffect which);
    // The steps of the playing effect: the first one now, each further one
    // when the pause of the one before has passed.
    void StartEffect(EffectRun run, bool immediate);
    void EffectTimeout();
    void DrawEffectStep();
    void EndEffect();
    // Loads `path` after releasing the picture; then marks, fits, shows the
    // information and asks for the presentation. False when refused.
    bool LoadAndShow(const std::string& path);
    void ShowInfoAndPresent(const std::string& path);
    // After a failed load: an empty view, and status texts that describe no
    // picture.
    void ShowNoPicture();
    // Pane 0 says that no picture is open; panes 1 to `lastPane` go empty.
    void ClearPictureInfo(int lastPane);
    void SetScrollSizes(int width, int height);
    void MeasureClient();
    void AfterZoom();
    void Print(bool withDialog);
    void PrintPreview();

    CKorvexDoc* m_pDocument;
    CMainFrame* m_pFrame = nullptr;
    SurfaceDC m_surface;
    bool m_bRedrawQueued = false;
    QTimer* m_pSlideTimer = nullptr; // timer 1111
    // The playing effect; declared after the surface and the picture, which
    // it draws, so that it goes first.
    EffectRun m_effect;
    QTimer* m_pEffectTimer = nullptr;
    QObject* m_pInputWatch = nullptr; // on the application while an effect plays
    DWORD m_dwStepStart = 0; // when the current step began drawing
    int m_nStepPause = 0;
    bool m_bImmediateEffect = false;
    // A slideshow step fell due during an effect: it runs once the effect ends.
    bool m_bSlideStepDue = false;
    // The layout is the fit of a picture shown while the window manager was
    // still placing the window: it is fitted again to the final size.
    bool m_bFitWhilePlacing = false;
    int m_nScrollWidth = 100;
    int m_nScrollHeight = 100;
    // Left-button panning: where the drag began and the scroll position then.
    bool m_bPanning = false;
    // The file a drag over the view carries, as read while it moved: some
    // sources no longer hand out their data once the button is released.
    std::string m_strDragPath;
    QPointF m_panStart;
    QPoint m_panScroll;
    int m_nWheelDelta = 0; // Ctrl+wheel eighths of a degree not yet used
};
