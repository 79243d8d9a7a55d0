// The view's effect and rotation commands: choosing the load effect,
// presenting a picture through it step by step, the five immediate effects
// and the quarter turns.
#include "KorvexDoc.h"
#include "KorvexView.h"
#include "MainFrame.h"
#include "picture/effects.h"
#include "platform/clock.h"
#include "res/resources.h"

#include <QApplication>
#include <QEvent>
#include <QRegion>
#include <QScrollBar>
#include <QTimer>

#include <cmath>

namespace {

// The end of every pause that is waited out on the clock, not in the event
// loop.
constexpr int kClockWaitMs = 3;

// The command that selects each load effect, by effect number 1..10.
constexpr int kEffectCommands[11] = {0,
                                     res::ID_EFFECT_MOSAIC,
                                     res::ID_EFFECT_FROM_TOP,
                                     res::ID_EFFECT_FROM_BOTTOM,
                                     res::ID_EFFECT_FROM_LEFT,
                                     res::ID_EFFECT_FROM_RIGHT,
                                     res::ID_EFFECT_FROM_TOP_LEFT,
                                     res::ID_EFFECT_FROM_TOP_RIGHT,
                                     res::ID_EFFECT_FROM_BOTTOM_LEFT,
                                     res::ID_EFFECT_FROM_BOTTOM_RIGHT,
                                     res::ID_EFFECT_BLINDS};

// Watches the application's events while an effect plays and calls `stop`
// before any of them reaches its receiver: a key, a mouse button or wheel,
// a drop, or the closing of the view's window. It only notes them; each
// event then goes on to be handled as usual.
class InputWatch : public QObject {
public:
    InputWatch(QWidget* view, std::function<void()> stop) : QObject(view), m_view(view), m_stop(std::move(stop)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
        case QEvent::Drop:
            m_stop();
            break;
        case QEvent::Close:
            if (watched == m_view->window())
                m_stop();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget* m_view;
    std::function<void()> m_stop;
};

} // namespace

int CKorvexView::EffectCommand(int number)
{
    return number >= 1 && number <= 10 ? kEffectCommands[number] : 0;
}

void CKorvexView::RegisterEffectCommands()
{
    OnCommand(res::ID_EFFECT_RANDOM, [this] {
        if (m_bRandomEffect) {
            m_bRandomEffect = 0;
            m_nEffect = 1;
        } else {
            m_bRandomEffect = 1;
        }
    });
    OnUpdate(res::ID_EFFECT_RANDOM, [this](CCmdUI& ui) {
        ui.Enable(m_bEffectsOff == 0);
        ui.SetCheck(m_bRandomEffect ? 1 : 0);
    });
    for (int number = 1; number <= 10; ++number) {
        OnCommand(EffectCommand(number), [this, number] {
            m_bRandomEffect = 0;
            m_nEffect = number;
        });
        // The check follows the number, also the last random pick.
        OnUpdate(EffectCommand(number), [this, number](CCmdUI& ui) {
            ui.Enable(m_bEffectsOff == 0);
            ui.SetCheck(m_nEffect == number ? 1 : 0);
        });
    }

    auto pictureRule = [this](CCmdUI& ui) {
        ui.Enable(m_pDocument->m_bNoPicture != 1 && m_pDocument->m_bFolderEmptied == 0);
    };
    const std::pair<int, ImmediateEffect> immediate[] = {
        {res::ID_SHOW_HORIZONTAL_BLINDS, ImmediateEffect::HorizontalBlinds},
        {res::ID_SHOW_VERTICAL_BLINDS, ImmediateEffect::VerticalBlinds},
        {res::ID_SHOW_MOSAIC, ImmediateEffect::Mosaic},
        {res::ID_SHOW_SCAN_DOWN, ImmediateEffect::ScanDown},
        {res::ID_SHOW_SCAN_UP, ImmediateEffect::ScanUp},
    };
    for (const auto& [id, which] : immediate) {
        const ImmediateEffect effect = which;
        OnCommand(id, [this, effect] { PlayImmediateEffect(effect); });
        OnUpdate(id, pictureRule);
    }

    OnCommand(res::ID_ROTATE_CW, [this] { Rotate(1); });
    OnCommand(res::ID_ROTATE_CCW, [this] { Rotate(3); });
    OnCommand(res::ID_ROTATE_180, [this] { Rotate(2); });
    for (int id : {int(res::ID_ROTATE_CW), int(res::ID_ROTATE_CCW), int(res::ID_ROTATE_180)})
        OnUpdate(id, pictureRule);

    // Load effects draw into the paint's surface and show every step; into
    // any other context they are drawn to the end at once.
    m_playEffect = [this](int number, SurfaceDC* dc) {
        const EffectLayout layout{m_fZoom, m_nOffsetX, m_nOffsetY};
        if (dc != &m_surface)
            return PlayLoadEffect(number, m_picture, dc, layout) != 0;
        EffectRun run = EffectRun::Load(number, m_picture, dc, layout);
        if (!run.Playing())
            return false;
        ShowFrameBeforeEffect();
        StartEffect(std::move(run), false);
        return true;
    };

    m_pEffectTimer = new QTimer(this);
    m_pEffectTimer->setSingleShot(true);
    m_pEffectTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pEffectTimer, &QTimer::timeout, this, [this] { EffectTimeout(); });
    m_pInputWatch = new InputWatch(this, [this] { StopEffect(); });
}

// An effect plays a step per turn of the event loop, so the window goes on
// repainting what it uncovers, and input reaches it. The steps and pauses are
// those of the effect played in one go: a pause runs from the start of a
// step's drawing to the start of the next, is spent in the event loop but
// for its last few milliseconds, which are waited out on the clock so that
// the latency of waking from the event loop does not stretch the effect.
void CKorvexView::StartEffect(EffectRun run, bool immediate)
{
    m_effect = std::move(run);
    m_bImmediateEffect = immediate;
    qApp->installEventFilter(m_pInputWatch);
    m_dwStepStart = timeGetTime();
    DrawEffectStep();
}

void CKorvexView::EffectTimeout()
{
    if (!m_effect.Playing())
        return;
    const DWORD spent = timeGetTime() - m_dwStepStart;
    if (spent < DWORD(m_nStepPause))
        DelayMs(DWORD(m_nStepPause) - spent);
    m_dwStepStart = timeGetTime();
    DrawEffectStep();
}

void CKorvexView::DrawEffectStep()
{
    int pause = m_effect.Next();
    if (pause != EffectRun::kDone)
        FlushSurface();
    if (pause == 0) // a closing draw with no pause after it: the effect is over
        pause = m_effect.Next();
    if (pause == EffectRun::kDone) {
        EndEffect();
        return;
    }
    m_nStepPause = pause;
    const DWORD spent = timeGetTime() - m_dwStepStart;
    const int rest = DWORD(pause) > spent ? pause - int(spent) : 0;
    m_pEffectTimer->start(ClockIsReal() && rest > kClockWaitMs ? rest - kClockWaitMs : 0);
}

void CKorvexView::StopEffect()
{
    if (!m_effect.Playing())
        return;
    m_effect.Stop();
    FlushSurface();
    EndEffect();
}

void CKorvexView::EndEffect()
{
    m_pEffectTimer->stop();
    qApp->removeEventFilter(m_pInputWatch);
    if (m_bImmediateEffect) {
        m_surface.SetViewportOrigin(horizontalScrollBar()->value(), verticalScrollBar()->value());
    } else {
        // What the paint does once the picture is drawn.
        SetScrollSizes(m_picture.m_nDisplayWidth, m_picture.m_nDisplayHeight);
        UpdatePanCursor();
    }
    if (m_bSlideStepDue) {
        // After whatever input ended the effect (Escape ends the show, Page
        // Down shows its picture first), and a whole second before the next.
        QTimer::singleShot(0, this, [this] {
            if (!m_bSlideStepDue || m_bRedrawQueued || EffectPlaying())
                return; // still due: once the picture on its way is shown
            if (m_pSlideTimer->isActive())
                m_pSlideTimer->start();
            OnTimer(1111);
        });
    }
}

void CKorvexView::FlushSurface()
{
    // A synchronous repaint of what the step drew: it is on screen before
    // the pause.
    // The surface counts device pixels, the widget logical ones.
    const double ratio = DevicePixelRatio();
    QRegion region;
    for (const RECT& r : m_surface.TakeDirtyRects()) {
        const int left = int(std::floor(r.left / ratio)), top = int(std::floor(r.top / ratio));
        const int right = int(std::ceil(r.right / ratio)), bottom = int(std::ceil(r.bottom / ratio));
        region += QRect(left, top, right - left, bottom - top);
    }
    if (!region.isEmpty())
        viewport()->repaint(region);
}

void CKorvexView::ShowFrameBeforeEffect()
{
    // Whatever a closed menu or dialog uncovered is repainted now, the
    // erased view included, before the first step is drawn.
    m_surface.TakeDirty();
    window()->repaint();
    viewport()->repaint();
}

void CKorvexView::PlayImmediateEffect(ImmediateEffect which)
{
    StopEffect();
    // The effects change the picture's own bytes and put them back.
    if (!m_picture.LoadFullImage())
        return;
    const QSize vp = DeviceViewportSize();
    if (m_surface.Width() != vp.width() || m_surface.Height() != vp.height())
        m_surface.Resize(vp.width(), vp.height());
    // The client area as it is, without the scroll position: the picture
    // is drawn at the drawing origin of the window itself.
    m_surface.ResetClip();
    m_surface.SetViewportOrigin(0, 0);
    ShowFrameBeforeEffect();
    m_picture.BeginDraw(static_cast<int>(double(m_picture.GetWidth()) * double(m_fZoom)),
                        static_cast<int>(double(m_picture.GetHeight()) * double(m_fZoom)));
    EffectRun run = EffectRun::Immediate(which, m_picture, &m_surface, EffectLayout{m_fZoom, m_nOffsetX, m_nOffsetY});
    if (run.Playing())
        StartEffect(std::move(run), true);
    else
        m_surface.SetViewportOrigin(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CKorvexView::Rotate(int quarterTurns)
{
    StopEffect();
    if (!m_picture.LoadFullImage())
        return;
    for (int i = 0; i < quarterTurns; ++i)
        m_picture.RotateClockwise();
    FitNewPicture();
    if (m_pFrame)
        m_pFrame->SetPaneText(1, QString::asprintf("显示比例: %.3f", double(m_fZoom)));
    m_bEffectPending = 1;
    Invalidate();
}
