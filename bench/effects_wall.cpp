// Wall time of the 15 effects in the real window against their pacing.
// Runs the viewer's frame on the desktop it is started on (a 1920 x 1080
// screen is what the figures are for), shows a 1920 x 1080 photograph and
// plays each load effect through the view's paint and each immediate effect
// through its command, until it is over. The pacing of an effect is the sum of its pauses,
// counted by playing it once against a clock that only the pauses advance.
// Prints one line per effect: name, steps, paced ms, wall ms, wall / paced.
#include "app/KorvexApp.h"
#include "app/KorvexDoc.h"
#include "app/KorvexView.h"
#include "app/MainFrame.h"
#include "app/Services.h"
#include "formats/save.h"
#include "picture/effects.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "photo_picture.h"
#include "res/resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

void Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs `play` against a clock that only DelayMs moves: the sum of the pauses.
DWORD Pacing(const std::function<void()>& play)
{
    DWORD now = 0;
    SetClockHook([&] { return now; });
    SetDelayIdleHook([&] { ++now; });
    play();
    SetClockHook({});
    SetDelayIdleHook({});
    return now;
}

// The view plays an effect a step per turn of the event loop: the time
// until it is over.
void PlayOut(CKorvexView* view)
{
    while (view->EffectPlaying())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    CMainFrame::SetAnimationsEnabled(false);
    InstallMessageSink();
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("photo.bmp")).toStdString();
    if (!SavePicture(PhotoPicture(1920, 1080), path, PictureFormat::Bmp)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    CKorvexApp app;
    if (!app.InitInstance({path}))
        return 1;
    CMainFrame* frame = app.m_pMainWnd;
    CKorvexView* view = frame->GetActiveView();
    for (int i = 0; i < 200 && !view->m_picture.HasImage(); ++i)
        Pump(50);
    Pump(3000); // the opening effect and the window's last resizes
    std::printf("client %dx%d, zoom %.3f\n", view->m_nClientWidth, view->m_nClientHeight, double(view->m_fZoom));
    std::printf("%-22s %6s %9s %9s %6s\n", "effect", "steps", "paced_ms", "wall_ms", "ratio");

    auto report = [](const char* name, int steps, DWORD paced, qint64 wall) {
        std::printf("%-22s %6d %9lu %9lld %6.2f\n", name, steps, static_cast<unsigned long>(paced),
                    static_cast<long long>(wall), paced ? double(wall) / double(paced) : 0.0);
        std::fflush(stdout);
    };
    static const char* const kLoadNames[] = {"",          "load mosaic", "from top",  "from bottom",
                                             "from left", "from right",  "top left",  "top right",
                                             "bottom left", "bottom right", "load blinds"};
    for (int number = 1; number <= 10; ++number) {
        SurfaceDC scratch(view->Surface().Width(), view->Surface().Height());
        int steps = 0;
        const EffectLayout layout{view->m_fZoom, view->m_nOffsetX, view->m_nOffsetY};
        const auto paced =
            Pacing([&] { PlayLoadEffect(number, view->m_picture, &scratch, layout, [&steps] { ++steps; }); });
        view->m_bRandomEffect = 0;
        view->m_nEffect = number;
        view->m_bEffectPending = 1;
        QElapsedTimer t;
        t.start();
        view->RedrawNow();
        PlayOut(view);
        report(kLoadNames[number], steps, paced, t.elapsed());
        Pump(300);
    }
    using Immediate = int (*)(CPicture&, HDC, const EffectLayout&, const EffectFlushFn&);
    const struct {
        const char* name;
        int command;
        Immediate routine;
    } immediate[] = {
        {"show horizontal blinds", res::ID_SHOW_HORIZONTAL_BLINDS, &ShowHorizontalBlinds},
        {"show vertical blinds", res::ID_SHOW_VERTICAL_BLINDS, &ShowVerticalBlinds},
        {"show mosaic", res::ID_SHOW_MOSAIC, &ShowMosaic},
        {"show scan down", res::ID_SHOW_SCAN_DOWN, &ShowScanDown},
        {"show scan up", res::ID_SHOW_SCAN_UP, &ShowScanUp},
    };
    for (const auto& e : immediate) {
        SurfaceDC scratch(view->Surface().Width(), view->Surface().Height());
        int steps = 0;
        const EffectLayout layout{view->m_fZoom, view->m_nOffsetX, view->m_nOffsetY};
        const auto paced = Pacing([&] { e.routine(view->m_picture, &scratch, layout, [&steps] { ++steps; }); });
        QElapsedTimer t;
        t.start();
        frame->ExecuteCommand(e.command);
        PlayOut(view);
        report(e.name, steps, paced, t.elapsed());
        Pump(300);
    }
    return 0;
}
