// The view's effect and rotation commands: choosing the load effect,
// presenting a picture through it step by step, the five immediate effects
// and the quarter turns.
#include "KorvexDoc.h"
#include "KorvexView.h"
#include "MainFrame.h"
#include "picture/effects.h"
#include "res/resources.h"

#include <QRegion>
#include <QScrollBar>

#include <cmath>

namespace {

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
    using Immediate = int (*)(CPicture&, HDC, const EffectLayout&, const EffectFlushFn&);
    const std::pair<int, Immediate> immediate[] = {
        {res::ID_SHOW_HORIZONTAL_BLINDS, &ShowHorizontalBlinds}, {res::ID_SHOW_VERTICAL_BLINDS, &ShowVerticalBlinds},
        {res::ID_SHOW_MOSAIC, &ShowMosaic},       {res::ID_SHOW_SCAN_DOWN, &ShowScanDown},
        {res::ID_SHOW_SCAN_UP, &ShowScanUp},
    };
    for (const auto& [id, routine] : immediate) {
        const Immediate run = routine;
        OnCommand(id, [this, run] { PlayImmediateEffect(run); });
        OnUpdate(id, pictureRule);
    }

    OnCommand(res::ID_ROTATE_CW, [this] { Rotate(1); });
    OnCommand(res::ID_ROTATE_CCW, [this] { Rotate(3); });
    OnCommand(res::ID_ROTATE_180, [this] { Rotate(2); });
    for (int id : {int(res::ID_ROTATE_CW), int(res::ID_ROTATE_CCW), int(res::ID_ROTATE_180)})
        OnUpdate(id, pictureRule);

    // Load effects draw into the paint's surface and show every step.
    m_playEffect = [this](int number, SurfaceDC* dc) {
        const EffectLayout layout{m_fZoom, m_nOffsetX, m_nOffsetY};
        EffectFlushFn flush;
        if (dc == &m_surface) {
            ShowFrameBeforeEffect();
            flush = [this] { FlushSurface(); };
        }
        return PlayLoadEffect(number, m_picture, dc, layout, flush) != 0;
    };
}

void CKorvexView::FlushSurface()
{
    // A synchronous repaint of what the step drew: it is on screen before
    // the pause. No events are processed meanwhile, so input waits and
    // timers that fall due run once the effect is over.
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
    // The effect keeps the event loop waiting, so whatever a closed menu or
    // dialog uncovered is repainted now, the erased view included.
    m_surface.TakeDirty();
    window()->repaint();
    viewport()->repaint();
}

void CKorvexView::PlayImmediateEffect(int (*routine)(CPicture&, HDC, const EffectLayout&, const EffectFlushFn&))
{
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
    routine(m_picture, &m_surface, EffectLayout{m_fZoom, m_nOffsetX, m_nOffsetY}, [this] { FlushSurface(); });
    m_surface.SetViewportOrigin(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CKorvexView::Rotate(int quarterTurns)
{
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
