#include "app/ViewLayout.h"
#include "formats/jpegfile.h"
#include "gui_util.h"
#include "res/resources.h"

#include "../core/test_util.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

TEST(ViewLayout, FitCentreAndZoomSteps)
{
    ViewLayout l;
    l.clientWidth = 800;
    l.clientHeight = 600;
    FitNewPicture(l, 1600, 1000);
    EXPECT_EQ(QString::asprintf("%.3f", double(l.zoom)), QStringLiteral("0.498"));
    EXPECT_EQ(l.displayWidth, 796);
    EXPECT_EQ(l.displayHeight, 497);
    EXPECT_EQ(l.offsetX, 0);
    EXPECT_EQ(l.offsetY, 52);

    FitNewPicture(l, 1000, 1600);
    EXPECT_EQ(l.displayWidth, 372);
    EXPECT_EQ(l.displayHeight, 596);
    EXPECT_EQ(l.offsetX, 214);
    EXPECT_EQ(l.offsetY, 0);

    // A picture that fits is centred at its own size.
    FitNewPicture(l, 101, 75);
    EXPECT_EQ(l.zoom, 1.0f);
    EXPECT_EQ(l.offsetX, 400 - 50);
    EXPECT_EQ(l.offsetY, 300 - 37);
    ZoomTo(l, 0.5f, 101, 75);
    EXPECT_EQ(l.displayWidth, 50);
    EXPECT_EQ(l.displayHeight, 37);
    ZoomTo(l, 0.75f, 101, 75);
    EXPECT_EQ(l.displayWidth, 75);
    EXPECT_EQ(l.displayHeight, 56);
    ZoomTo(l, 1.5f, 101, 75);
    EXPECT_EQ(l.displayWidth, 151);
    EXPECT_EQ(l.displayHeight, 112);

    // Nine zoom-outs from 1.000 reach 0.100; the tenth stops and keeps its factor.
    ZoomTo(l, 1.0f, 101, 75);
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(ZoomStep(l, -0.1f, 101, 75)) << i;
    EXPECT_EQ(QString::asprintf("%.3f", double(l.zoom)), QStringLiteral("0.100"));
    const int width = l.displayWidth;
    EXPECT_FALSE(ZoomStep(l, -0.1f, 101, 75));
    EXPECT_LE(l.zoom, 0.0f);
    EXPECT_EQ(l.displayWidth, width);
    ASSERT_TRUE(ZoomStep(l, 0.1f, 101, 75));
    EXPECT_EQ(QString::asprintf("%.3f", double(l.zoom)), QStringLiteral("0.100"));
}

namespace {

// A 4 x 2 picture, red left half and blue right half, top row brighter.
std::string WritePicture(const TempDir& dir)
{
    Bytes rows;
    for (int y = 0; y < 2; ++y) {
        const int v = y == 0 ? 100 : 200; // bottom row first
        for (int x = 0; x < 4; ++x) {
            if (x < 2) {
                rows.push_back(0);
                rows.push_back(0);
                rows.push_back(std::uint8_t(v));
            } else {
                rows.push_back(std::uint8_t(v));
                rows.push_back(0);
                rows.push_back(0);
            }
        }
    }
    const std::string path = dir.File("p.bmp");
    WriteFileBytes(path, MakeBmp(4, 2, 24, {}, rows));
    return path;
}

QStringList EnabledItems(QMenu* menu)
{
    QStringList on;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->isEnabled())
            on << QString::number(a->data().toInt());
    return on;
}

} // namespace

TEST(View, PaintsStatusScrollAndContextMenu)
{
    RunningApp run;
    run.frame->resize(800, 600);
    QApplication::processEvents();
    CKorvexView* view = run.View();

    std::unique_ptr<QMenu> empty(view->BuildContextMenu());
    EXPECT_EQ(EnabledItems(empty.get()), QStringList{QString::number(res::ID_FULL_SCREEN)});
    EXPECT_FALSE(run.frame->Router().Query(res::ID_ZOOM_IN).m_bEnabled);

    TempDir dir;
    const std::string path = WritePicture(dir);
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(path)));
    view->m_bEffectsOff = 1;
    view->RedrawNow();
    // Centred at its own size: the top-left pixel is bright red.
    const int x0 = view->m_nOffsetX, y0 = view->m_nOffsetY;
    EXPECT_EQ(x0, view->viewport()->width() / 2 - 2);
    EXPECT_EQ(view->Surface().Pixel(x0, y0), 0xFFC80000u);
    EXPECT_EQ(view->Surface().Pixel(x0 + 3, y0 + 1), 0xFF000064u);
    EXPECT_EQ(run.frame->GetPaneText(0), QString::fromStdString(path));
    EXPECT_EQ(run.frame->GetPaneText(1), QStringLiteral("显示比例: 1.000"));
    EXPECT_EQ(run.frame->GetPaneText(2), QStringLiteral("0.1 KB"));
    EXPECT_EQ(run.frame->GetPaneText(3), QStringLiteral("宽×高 = 4×2"));
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("p.bmp - Tobble"));
    EXPECT_TRUE(run.frame->Router().Query(res::ID_ZOOM_IN).m_bEnabled);

    // Zoom 200 %: pixels double; the pane follows.
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_ZOOM_200));
    view->RedrawNow();
    EXPECT_EQ(run.frame->GetPaneText(1), QStringLiteral("显示比例: 2.000"));
    EXPECT_EQ(view->Surface().Pixel(view->m_nOffsetX + 1, view->m_nOffsetY + 1), 0xFFC80000u);
    EXPECT_EQ(view->Surface().Pixel(view->m_nOffsetX + 7, view->m_nOffsetY + 3), 0xFF000064u);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);

    // A display larger than the client area scrolls exactly by the difference.
    for (int i = 0; i < 5; ++i)
        run.frame->ExecuteCommand(res::ID_ZOOM_200);
    view->m_picture.m_nDisplayWidth = 4000;
    view->m_picture.m_nDisplayHeight = 3000;
    view->RedrawNow();
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 4000 - view->viewport()->width());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 3000 - view->viewport()->height());

    std::unique_ptr<QMenu> full(view->BuildContextMenu());
    const QStringList on = EnabledItems(full.get());
    EXPECT_TRUE(on.contains(QString::number(res::ID_ZOOM_IN)));
    EXPECT_TRUE(on.contains(QString::number(res::ID_ROTATE_CW)));
    EXPECT_FALSE(on.contains(QString::number(res::ID_PREV_PICTURE))); // first of its folder

    // The context menu asks the same update handlers as the menus: Delete
    // is off during the slideshow; an unchecked item carries no check box.
    run.frame->m_bSlideShow = 1;
    std::unique_ptr<QMenu> slideshow(view->BuildContextMenu());
    EXPECT_FALSE(EnabledItems(slideshow.get()).contains(QString::number(res::ID_DELETE)));
    run.frame->m_bSlideShow = 0;
    for (QAction* a : slideshow->actions()) {
        if (a->data().toInt() == res::ID_FULL_SCREEN) {
            EXPECT_FALSE(a->isCheckable());
        }
    }

    // The effect switch toggles and carries the check mark.
    EXPECT_TRUE(run.frame->ExecuteCommand(res::ID_EFFECT_ON));
    EXPECT_EQ(view->m_bEffectsOff, 0);
    EXPECT_TRUE(run.frame->Action(res::ID_EFFECT_ON)->isChecked());
    EXPECT_FALSE(run.frame->Action(res::ID_EFFECT_MOSAIC)->isCheckable() &&
                 !run.frame->Action(res::ID_EFFECT_MOSAIC)->isChecked());
}

TEST(View, PrintedPageHoldsTheWholePicture)
{
    // At the factor's size when it fits, centred; else shrunk keeping its
    // proportions (a page of 600 dots an inch against a 96 dpi screen).
    PageRect r = PrintPlacement(800, 600, 1.0, 96, 600, 600, 6000, 6000);
    EXPECT_EQ((std::array{r.x, r.y, r.cx, r.cy}), (std::array{500, 1125, 5000, 3750}));
    r = PrintPlacement(800, 600, 2.0, 96, 600, 600, 4000, 6000);
    EXPECT_EQ((std::array{r.x, r.y, r.cx, r.cy}), (std::array{0, 1500, 4000, 3000}));
    r = PrintPlacement(600, 800, -0.1f, 96, 300, 300, 3000, 2000);
    EXPECT_EQ((std::array{r.x, r.y, r.cx, r.cy}), (std::array{750, 0, 1500, 2000}));

    RunningApp run;
    CKorvexView* view = run.View();
    TempDir dir;
    ASSERT_TRUE(view->OpenPicture(QString::fromStdString(WritePicture(dir))));
    view->m_fZoom = 100.0f; // far larger than the page: shrunk to fit
    QImage page(90, 60, QImage::Format_RGB32);
    page.fill(Qt::gray);
    view->PrintPage(&page);
    // 4 x 2 becomes 90 x 45, centred: red left half, blue right half, the
    // page untouched above and below.
    EXPECT_EQ(page.pixel(45, 5), QColor(Qt::gray).rgb());
    EXPECT_EQ(page.pixel(45, 54), QColor(Qt::gray).rgb());
    EXPECT_EQ(qRed(page.pixel(2, 9)), 200); // the top row at the top of the band
    EXPECT_EQ(qBlue(page.pixel(87, 50)), 100);
}

TEST(View, AJpegShownReducedGivesTheWholePicturesPixelsToEveryUse)
{
    RunningApp run;
    run.frame->resize(800, 600);
    QApplication::processEvents();
    CKorvexView* view = run.View();
    view->m_bEffectsOff = 1;
    // Fine detail that a reduction would smooth away, fitted at under a half.
    const int w = 1600, h = 1200;
    std::vector<BYTE> rgb(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = BYTE((i * 2654435761u) >> 24);
    TempDir dir;
    const std::string path = dir.File("big.jpg");
    JpegFile writer;
    ASSERT_TRUE(writer.WriteRgb(path, rgb.data(), w, h, TRUE, 90));
    CPicture whole, turned;
    ASSERT_EQ(whole.LoadFile(path, 1, 0), 1);
    ASSERT_EQ(turned.LoadFile(path, 1, 0), 1);
    ASSERT_EQ(turned.RotateClockwise(), 1);
    const auto same = [](const CPicture& a, const CPicture& b) {
        return a.GetBits() && b.GetBits() && a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() &&
               std::memcmp(a.GetBits(), b.GetBits(), std::size_t(a.GetImageSize())) == 0;
    };
    const auto open = [&] {
        ASSERT_TRUE(view->OpenPath(path));
        ASSERT_TRUE(view->m_picture.IsReduced());
        EXPECT_LE(view->m_picture.m_nReducedWidth, w / 2);
    };

    // 1:1: the status texts were the whole picture's all along.
    open();
    EXPECT_EQ(run.frame->GetPaneText(3), QStringLiteral("宽×高 = 1600×1200"));
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_ZOOM_ORIGINAL));
    view->RedrawNow();
    EXPECT_EQ(run.frame->GetPaneText(1), QStringLiteral("显示比例: 1.000"));
    EXPECT_TRUE(same(view->m_picture, whole));
    const BYTE* topLeft = whole.GetRow(h - 1);
    EXPECT_EQ(view->Surface().Pixel(view->m_nOffsetX, view->m_nOffsetY),
              0xFF000000u | std::uint32_t(topLeft[2]) << 16 | std::uint32_t(topLeft[1]) << 8 | topLeft[0]);

    open();
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_ROTATE_CW));
    EXPECT_TRUE(same(view->m_picture, turned));

    // Printed from the whole picture: the same page as printed once more.
    open();
    QImage first(300, 200, QImage::Format_RGB32), again(300, 200, QImage::Format_RGB32);
    first.fill(Qt::gray);
    again.fill(Qt::gray);
    view->PrintPage(&first);
    EXPECT_FALSE(view->m_picture.IsReduced());
    view->PrintPage(&again);
    EXPECT_EQ(first, again);

    // Saved after the file is gone: the whole picture, from the kept bytes.
    open();
    std::filesystem::remove(path);
    FakeServices& fake = Fake();
    fake.dialogPath = QString::fromStdString(dir.File("saved.bmp"));
    fake.dialogFilter = 2; // BMP
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_FILE_SAVE_AS));
    CPicture saved;
    ASSERT_EQ(saved.LoadFile(dir.File("saved.bmp"), 1, 0), 1);
    EXPECT_TRUE(same(saved, whole));
    EXPECT_TRUE(fake.messages.isEmpty());
}
