// The effect and rotation commands of the view: selection and check marks,
// presentation step by step on screen, immediate effects restoring the
// picture, quarter turns.
#include "gui_util.h"
#include "platform/clock.h"
#include "res/resources.h"

#include "../core/test_util.h"

#include <QAction>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts the paints that reach the view's window.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// A clock that moves 1 ms at every read, so pauses cost nothing.
struct FakeClock {
    DWORD now = 1000;
    FakeClock()
    {
        SetClockHook([this] { return now++; });
    }
    ~FakeClock() { SetClockHook({}); }
};

bool Checked(const RunningApp& run, int id)
{
    const CCmdUI ui = run.frame->Router().Query(id);
    return ui.m_bCheckSet && ui.m_nCheck == 1;
}

std::string Write24(const TempDir& dir, const char* name, int width, int height)
{
    Bytes rows;
    const int stride = (width * 3 + 3) / 4 * 4;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < stride; ++i)
            rows.push_back(i < width * 3 ? std::uint8_t(16 + (i * 7 + y * 3) % 200) : 0);
    const std::string path = dir.File(name);
    WriteFileBytes(path, MakeBmp(width, height, 24, {}, rows));
    return path;
}

// Lets a playing effect take its steps until it is over.
void PlayOut(CKorvexView* view)
{
    while (view->EffectPlaying())
        QApplication::processEvents();
}

Bytes PixelBytes(CKorvexView* view)
{
    Bytes all;
    const CPicture& p = view->m_picture;
    for (int y = 0; y < p.GetHeight(); ++y) {
        const BYTE* row = p.GetRow(y);
        all.insert(all.end(), row, row + p.m_nRowBytes);
    }
    return all;
}

} // namespace

TEST(ViewEffects, SelectionAndCheckMarks)
{
    RunningApp run;
    EXPECT_TRUE(Checked(run, res::ID_EFFECT_RANDOM));
    EXPECT_TRUE(Checked(run, res::ID_EFFECT_ON));

    run.frame->ExecuteCommand(res::ID_EFFECT_FROM_BOTTOM);
    EXPECT_EQ(run.View()->m_bRandomEffect, 0);
    EXPECT_EQ(run.View()->m_nEffect, 3);
    EXPECT_TRUE(run.frame->Action(res::ID_EFFECT_FROM_BOTTOM)->isChecked());
    EXPECT_FALSE(run.frame->Action(res::ID_EFFECT_MOSAIC)->isChecked());
    EXPECT_FALSE(Checked(run, res::ID_EFFECT_RANDOM));

    // Random again keeps the last number's check; turning it off picks mosaic.
    run.frame->ExecuteCommand(res::ID_EFFECT_RANDOM);
    EXPECT_TRUE(Checked(run, res::ID_EFFECT_RANDOM));
    EXPECT_TRUE(Checked(run, res::ID_EFFECT_FROM_BOTTOM));
    run.frame->ExecuteCommand(res::ID_EFFECT_RANDOM);
    EXPECT_EQ(run.View()->m_nEffect, 1);
    EXPECT_TRUE(Checked(run, res::ID_EFFECT_MOSAIC));

    // The table: every number has its command.
    const int expected[] = {res::ID_EFFECT_MOSAIC, res::ID_EFFECT_FROM_TOP, res::ID_EFFECT_FROM_BOTTOM,
                            res::ID_EFFECT_FROM_LEFT, res::ID_EFFECT_FROM_RIGHT, res::ID_EFFECT_FROM_TOP_LEFT,
                            res::ID_EFFECT_FROM_TOP_RIGHT, res::ID_EFFECT_FROM_BOTTOM_LEFT,
                            res::ID_EFFECT_FROM_BOTTOM_RIGHT, res::ID_EFFECT_BLINDS};
    for (int n = 1; n <= 10; ++n) {
        run.frame->ExecuteCommand(expected[n - 1]);
        EXPECT_EQ(run.View()->m_nEffect, n);
    }

    // Effects off: the choice is disabled; immediate effects and rotation
    // depend on a picture only.
    run.frame->ExecuteCommand(res::ID_EFFECT_ON);
    EXPECT_FALSE(Checked(run, res::ID_EFFECT_ON));
    EXPECT_FALSE(run.frame->Router().Query(res::ID_EFFECT_RANDOM).m_bEnabled);
    EXPECT_FALSE(run.frame->Router().Query(res::ID_EFFECT_BLINDS).m_bEnabled);
    EXPECT_FALSE(run.frame->Router().Query(res::ID_SHOW_MOSAIC).m_bEnabled);
    EXPECT_FALSE(run.frame->Router().Query(res::ID_ROTATE_CW).m_bEnabled);
    TempDir dir;
    run.View()->OpenPicture(QString::fromStdString(Write24(dir, "p.bmp", 4, 4)));
    EXPECT_TRUE(run.frame->Router().Query(res::ID_SHOW_MOSAIC).m_bEnabled);
    EXPECT_TRUE(run.frame->Router().Query(res::ID_ROTATE_180).m_bEnabled);
}

TEST(ViewEffects, LoadEffectShowsEveryStepOnScreen)
{
    FakeClock clock;
    TempDir dir;
    RunningApp run;
    run.frame->resize(400, 300);
    QApplication::processEvents();
    CKorvexView* view = run.View();
    run.frame->ExecuteCommand(res::ID_EFFECT_FROM_TOP);
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);

    // 48 rows enter 12 at a time: steps at 0 (nothing drawn), 12, 24, 36, 48,
    // each that draws is on screen.
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(Write24(dir, "p.bmp", 20, 48))));
    view->RedrawNow();
    PlayOut(view);
    EXPECT_GE(counter.paints, 4);
    EXPECT_EQ(view->m_bEffectPending, 0);
    // The last step drew the whole picture: its top-left pixel is on screen.
    const CPicture& p = view->m_picture;
    const BYTE* top = p.GetRow(p.GetHeight() - 1);
    EXPECT_EQ(view->Surface().Pixel(view->m_nOffsetX, view->m_nOffsetY),
              0xFF000000u | (unsigned(top[2]) << 16) | (unsigned(top[1]) << 8) | top[0]);

    // A later paint draws at once.
    counter.paints = 0;
    view->RedrawNow();
    QApplication::processEvents();
    EXPECT_LE(counter.paints, 1);

    // Effects off: the new picture appears in one paint.
    run.frame->ExecuteCommand(res::ID_EFFECT_ON);
    view->OpenPicture(QString::fromStdString(Write24(dir, "q.bmp", 20, 48)));
    counter.paints = 0;
    view->RedrawNow();
    QApplication::processEvents();
    EXPECT_LE(counter.paints, 1);
    view->viewport()->removeEventFilter(&counter);
}

TEST(ViewEffects, InputEndsAPlayingEffectAndIsActedOn)
{
    FakeClock clock;
    TempDir dir;
    RunningApp run;
    CKorvexView* view = run.View();
    CKorvexDoc* doc = run.frame->GetDocument();
    run.frame->ExecuteCommand(res::ID_EFFECT_FROM_LEFT);
    Write24(dir, "b.bmp", 240, 40);
    Write24(dir, "c.bmp", 240, 40);
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(Write24(dir, "a.bmp", 240, 40))));
    view->RedrawNow();
    ASSERT_TRUE(view->EffectPlaying());
    // The next-picture key ends the effect and pages on.
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_FALSE(view->EffectPlaying());
    EXPECT_EQ(doc->m_nCurrent, 1);

    // A slideshow step due during an effect waits for its end.
    run.frame->ExecuteCommand(res::ID_FULL_SCREEN);
    run.frame->ExecuteCommand(res::ID_SLIDE_START);
    view->RedrawNow();
    ASSERT_TRUE(view->EffectPlaying());
    view->OnTimer(1111);
    EXPECT_EQ(doc->m_nCurrent, 1);
    PlayOut(view);
    QApplication::processEvents();
    EXPECT_EQ(doc->m_nCurrent, 2);

    // Escape during the effect: full screen and the show end at once, and
    // the step that fell due does not come.
    view->RedrawNow();
    ASSERT_TRUE(view->EffectPlaying());
    view->OnTimer(1111);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(view->EffectPlaying());
    EXPECT_EQ(run.frame->m_bFullScreen, 0);
    QApplication::processEvents();
    EXPECT_EQ(doc->m_nCurrent, 2);
    EXPECT_FALSE(run.frame->m_bSlideShow);
}

TEST(ViewEffects, ImmediateEffectsRestoreThePicture)
{
    FakeClock clock;
    TempDir dir;
    RunningApp run;
    CKorvexView* view = run.View();
    view->m_bEffectsOff = 1;
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(Write24(dir, "p.bmp", 33, 31))));
    view->RedrawNow();
    const Bytes before = PixelBytes(view);
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);
    for (int id : {int(res::ID_SHOW_HORIZONTAL_BLINDS), int(res::ID_SHOW_VERTICAL_BLINDS), int(res::ID_SHOW_MOSAIC),
                   int(res::ID_SHOW_SCAN_DOWN), int(res::ID_SHOW_SCAN_UP)}) {
        counter.paints = 0;
        ASSERT_TRUE(run.frame->ExecuteCommand(id)) << id;
        PlayOut(view);
        EXPECT_GT(counter.paints, 2) << id; // whitening and restoring steps shown
        EXPECT_EQ(PixelBytes(view), before) << id;
    }
    view->viewport()->removeEventFilter(&counter);
}

TEST(ViewEffects, RotationCommands)
{
    TempDir dir;
    // 2 x 1: A left, B right.
    const std::string path = dir.File("ab.bmp");
    WriteFileBytes(path, MakeBmp(2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0}));
    RunningApp run;
    CKorvexView* view = run.View();
    view->m_bEffectsOff = 1;
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(path)));
    view->RedrawNow();

    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_ROTATE_CW));
    ASSERT_EQ(view->m_picture.GetWidth(), 1);
    ASSERT_EQ(view->m_picture.GetHeight(), 2);
    EXPECT_EQ(view->m_picture.GetRow(1)[0], 1); // A on top
    EXPECT_EQ(view->m_picture.GetRow(0)[0], 4);
    EXPECT_EQ(view->m_bEffectPending, 1);
    EXPECT_EQ(run.frame->GetPaneText(1), QStringLiteral("显示比例: 1.000"));
    EXPECT_EQ(run.frame->GetPaneText(3), QStringLiteral("宽×高 = 2×1")); // left as written at load
    EXPECT_EQ(view->m_picture.m_nDisplayWidth, 1);
    EXPECT_EQ(view->m_picture.m_nDisplayHeight, 2);

    run.frame->ExecuteCommand(res::ID_ROTATE_CCW); // back to 2 x 1
    run.frame->ExecuteCommand(res::ID_ROTATE_180);
    ASSERT_EQ(view->m_picture.GetWidth(), 2);
    EXPECT_EQ(view->m_picture.GetRow(0)[0], 4); // B left
    EXPECT_EQ(view->m_picture.GetRow(0)[3], 1);

    // Larger than the window: the fit shrinks it again.
    run.frame->resize(300, 240);
    QApplication::processEvents();
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(Write24(dir, "wide.bmp", 200, 1000))));
    run.frame->ExecuteCommand(res::ID_ROTATE_CW);
    EXPECT_LT(view->m_fZoom, 1.0f);
    EXPECT_LE(view->m_picture.m_nDisplayWidth, view->viewport()->width());
    EXPECT_EQ(run.frame->GetPaneText(1), QString::asprintf("显示比例: %.3f", double(view->m_fZoom)));
}
