// File commands and paging on real temporary folders, with the fake services
// answering the dialogs.
#include "gui_util.h"
#include "res/resources.h"

#include "../core/test_util.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QDirIterator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// A 2 x 1 24-bit picture whose first pixel carries `tag` in its blue channel.
void WriteTagged(const std::string& path, std::uint8_t tag)
{
    WriteFileBytes(path, MakeBmp(2, 1, 24, {}, {tag, 0, 0, 9, 9, 9, 0, 0}));
}

// The first pixel's blue channel of the picture on screen.
int ShownTag(CKorvexView* view)
{
    if (!view->m_picture.HasImage())
        return -1;
    return view->m_picture.GetRow(0)[0];
}

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

bool Enabled(const RunningApp& run, int id)
{
    return run.frame->Router().Query(id).m_bEnabled;
}

std::vector<std::string> Sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

// The user's trash in the scratch data folder (tests/gui/main.cpp).
std::string TrashFolder()
{
    return qgetenv("XDG_DATA_HOME").toStdString() + "/Trash";
}

std::vector<std::string> TrashedNames()
{
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(TrashFolder() + "/files"))
        names.push_back(e.path().filename().string());
    return Sorted(names);
}

void EmptyTrash()
{
    std::filesystem::remove_all(TrashFolder());
}

struct Folder {
    TempDir dir;
    explicit Folder(std::initializer_list<const char*> names)
    {
        std::uint8_t tag = 1;
        for (const char* n : names)
            WriteTagged(dir.File(n), tag++);
    }
};

void Open(RunningApp& run, const std::string& path)
{
    FakeServices& fake = Fake();
    fake.dialogPath = Q(path);
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_FILE_OPEN));
}

} // namespace

TEST(FileCommands, OpenUsesTheFilterListAndMakesTheFolderTheList)
{
    Folder f({"pic10.bmp", "pic2.bmp", "pic1.bmp"});
    WriteFileBytes(f.dir.File("notes.txt"), {1});
    std::filesystem::create_directory(f.dir.File("sub.bmp"));
    RunningApp run;
    EXPECT_FALSE(Enabled(run, res::ID_PREV_PICTURE));
    EXPECT_FALSE(Enabled(run, res::ID_NEXT_PICTURE));
    EXPECT_FALSE(Enabled(run, res::ID_FILE_SAVE_AS));
    EXPECT_TRUE(Enabled(run, res::ID_FILE_OPEN));

    FakeServices& fake = Fake();
    fake.dialogOk = false; // cancelled: nothing happens
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_FILE_OPEN));
    EXPECT_EQ(fake.initialFilter, 1);
    ASSERT_EQ(fake.filters.size(), 8);
    EXPECT_EQ(fake.filters[0].description, QStringLiteral("所有文件(*.*)"));
    EXPECT_EQ(fake.filters[0].patterns, QStringLiteral("*.bmp;*.tga;*.pcx;*.jpg;*.jpeg;*.gif;*.png;*.webp"));
    EXPECT_EQ(fake.filters[4].description, QStringLiteral("JPEG(*.jpg,*.jpeg)"));
    EXPECT_EQ(fake.filters[4].patterns, QStringLiteral("*.jpg;*.jpeg"));
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("无标题 - Tobble"));

    Open(run, f.dir.File("pic2.bmp"));
    CKorvexDoc* doc = run.frame->GetDocument();
    EXPECT_EQ(doc->m_strFiles, (std::vector<std::string>{f.dir.File("pic1.bmp"), f.dir.File("pic2.bmp"),
                                                         f.dir.File("pic10.bmp")}));
    EXPECT_EQ(doc->m_nCurrent, 1);
    EXPECT_EQ(doc->m_nLast, 2);
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("pic2.bmp - Tobble"));
    EXPECT_EQ(ShownTag(run.View()), 2);
    EXPECT_TRUE(Enabled(run, res::ID_PREV_PICTURE));
    EXPECT_TRUE(Enabled(run, res::ID_NEXT_PICTURE));

    // Paging follows the natural order and stops at both ends.
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_NEXT_PICTURE));
    EXPECT_EQ(ShownTag(run.View()), 1); // pic10 was written first
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("pic10.bmp - Tobble"));
    EXPECT_EQ(run.frame->GetPaneText(0), Q(f.dir.File("pic10.bmp")));
    EXPECT_FALSE(Enabled(run, res::ID_NEXT_PICTURE));
    EXPECT_FALSE(run.frame->ExecuteCommand(res::ID_NEXT_PICTURE));
    run.frame->ExecuteCommand(res::ID_PREV_PICTURE);
    run.frame->ExecuteCommand(res::ID_PREV_PICTURE);
    EXPECT_EQ(doc->m_nCurrent, 0);
    EXPECT_EQ(ShownTag(run.View()), 3);
    EXPECT_FALSE(Enabled(run, res::ID_PREV_PICTURE));
    EXPECT_TRUE(fake.messages.isEmpty());
}

TEST(FileCommands, PagingRescansTheFolder)
{
    Folder f({"a.bmp", "b.bmp", "c.bmp", "d.bmp"});
    RunningApp run;
    CKorvexDoc* doc = run.frame->GetDocument();
    Open(run, f.dir.File("a.bmp"));

    // A neighbour deleted outside the viewer: Next shows the one after it.
    std::filesystem::remove(f.dir.File("b.bmp"));
    run.frame->ExecuteCommand(res::ID_NEXT_PICTURE);
    EXPECT_EQ(ShownTag(run.View()), 3);
    EXPECT_EQ(doc->m_nLast, 2);

    // The current file renamed outside: the first picture becomes current.
    std::filesystem::rename(f.dir.File("c.bmp"), f.dir.File("e.bmp"));
    run.frame->ExecuteCommand(res::ID_NEXT_PICTURE);
    EXPECT_EQ(doc->m_nCurrent, 0);
    EXPECT_EQ(ShownTag(run.View()), 1);
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("a.bmp - Tobble"));

    // The rescan leaves the current file last: Next stays on it.
    std::filesystem::remove(f.dir.File("d.bmp"));
    std::filesystem::remove(f.dir.File("e.bmp"));
    EXPECT_EQ(doc->m_nLast, 2); // the list still names the two removed pictures
    run.frame->ExecuteCommand(res::ID_NEXT_PICTURE);
    EXPECT_EQ(doc->m_nCurrent, 0);
    EXPECT_EQ(doc->m_nLast, 0);
    EXPECT_EQ(ShownTag(run.View()), 1);

    // A picture that fails to load while paging: its message, the new title,
    // an empty picture, the status bar unchanged.
    WriteFileBytes(f.dir.File("b.bmp"), {'B', 'M', 0});
    Open(run, f.dir.File("a.bmp"));
    FakeServices& fake = Fake();
    run.frame->ExecuteCommand(res::ID_NEXT_PICTURE);
    EXPECT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("b.bmp - Tobble"));
    EXPECT_EQ(ShownTag(run.View()), -1);
    EXPECT_EQ(run.frame->GetPaneText(0), QStringLiteral("未打开任何图像"));
}

TEST(FileCommands, FolderLimitMessage)
{
    TempDir dir;
    char name[32];
    for (int i = 0; i < 500; ++i) {
        std::snprintf(name, sizeof name, "p%03d.bmp", i);
        WriteTagged(dir.File(name), 1);
    }
    const QString limit = QStringLiteral("当前目录中包含的图片文件多于500个，当翻页浏览时将只显示前500个。");
    RunningApp run;
    Open(run, dir.File("p499.bmp"));
    EXPECT_FALSE(Fake().messages.contains(limit));
    EXPECT_EQ(run.frame->GetDocument()->m_nLast, 499);
    EXPECT_EQ(run.frame->GetDocument()->m_nCurrent, 499);

    WriteTagged(dir.File("p500.bmp"), 1);
    FakeServices& fake = Fake();
    fake.dialogPath = Q(dir.File("p500.bmp"));
    run.frame->ExecuteCommand(res::ID_FILE_OPEN);
    EXPECT_EQ(fake.messages, QStringList{limit});
    EXPECT_EQ(fake.captions, QStringList{QStringLiteral("Korvex")});
    // Shown, though beyond the list: it takes the list's last place, so
    // that Delete asks about it and trashes it, not the first picture.
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("p500.bmp - Tobble"));
    CKorvexDoc* doc = run.frame->GetDocument();
    EXPECT_EQ(doc->m_nLast, 499);
    EXPECT_EQ(doc->m_nCurrent, 499);
    fake.messages.clear();
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_FALSE(std::filesystem::exists(dir.File("p500.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("p000.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("p499.bmp")));
}

TEST(FileCommands, FailedOpenAfterASuccessfulOne)
{
    Folder f({"good.bmp"});
    WriteFileBytes(f.dir.File("bad.bmp"), {'B', 'M', 1, 2, 3});
    RunningApp run;
    Open(run, f.dir.File("good.bmp"));
    QApplication::processEvents();
    const SurfaceDC& surface = run.View()->Surface();
    const std::uint32_t background = surface.Pixel(0, 0);
    ASSERT_NE(surface.Pixel(run.View()->m_nOffsetX, run.View()->m_nOffsetY), background);

    FakeServices& fake = Fake();
    fake.dialogPath = Q(f.dir.File("bad.bmp"));
    run.frame->ExecuteCommand(res::ID_FILE_OPEN);
    EXPECT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(ShownTag(run.View()), -1);
    // Nothing on screen describes the picture that is gone.
    QApplication::processEvents();
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x)
            ASSERT_EQ(surface.Pixel(x, y), background) << x << "," << y;
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("无标题 - Tobble"));
    EXPECT_EQ(run.frame->GetPaneText(0), QStringLiteral("未打开任何图像"));
    for (int pane = 1; pane <= 3; ++pane)
        EXPECT_EQ(run.frame->GetPaneText(pane), QString()) << pane;
    // The flags still say a picture was opened: zoom stays available.
    EXPECT_TRUE(Enabled(run, res::ID_ZOOM_IN));
    run.frame->ExecuteCommand(res::ID_ZOOM_200);
    EXPECT_EQ(run.frame->GetPaneText(1), QStringLiteral("显示比例: 2.000"));
    EXPECT_EQ(run.frame->GetDocument()->m_nLast, 1);

    // Save has nothing to write, and says so.
    FakeServices& saving = Fake();
    saving.dialogPath = Q(f.dir.File("copy.bmp"));
    run.frame->ExecuteCommand(res::ID_FILE_SAVE);
    EXPECT_EQ(saving.messages, QStringList{QStringLiteral("保存文件失败!")});
    EXPECT_FALSE(std::filesystem::exists(f.dir.File("copy.bmp")));
}

TEST(FileCommands, DeleteMovesToTheTrashAndShowsTheNextPicture)
{
    EmptyTrash(); // the trash folder does not exist yet
    Folder f({"1.bmp", "2.bmp", "3.bmp"});
    RunningApp run;
    CKorvexDoc* doc = run.frame->GetDocument();

    // The last of three: the second is shown.
    Open(run, f.dir.File("3.bmp"));
    FakeServices& fake = Fake();
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_DELETE));
    EXPECT_EQ(fake.confirmations, QStringList{Q(f.dir.File("3.bmp"))});
    EXPECT_EQ(Sorted(f.dir.Names()), (std::vector<std::string>{"1.bmp", "2.bmp"}));
    EXPECT_EQ(TrashedNames(), std::vector<std::string>{"3.bmp"});
    EXPECT_EQ(ShownTag(run.View()), 2);
    EXPECT_EQ(doc->m_nCurrent, 1);

    // A cancelled confirmation changes nothing.
    Fake().confirmDelete = false;
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_EQ(f.dir.Names().size(), 2u);
    EXPECT_EQ(doc->m_nLast, 1);

    // A trash that refuses: the message, and nothing changes.
    FakeServices& failing = Fake();
    failing.trashFails = true;
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_EQ(failing.messages, QStringList{QStringLiteral("无法删除文件!")});
    EXPECT_EQ(f.dir.Names().size(), 2u);
    EXPECT_EQ(doc->m_nLast, 1);
    EXPECT_EQ(ShownTag(run.View()), 2);

    // The first of two: the former second is shown.
    Fake();
    WriteTagged(f.dir.File("0.bmp"), 9);
    Open(run, f.dir.File("0.bmp"));
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_EQ(doc->m_nCurrent, 0);
    EXPECT_EQ(ShownTag(run.View()), 1);
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("1.bmp - Tobble"));

    // The middle of three: the former third.
    WriteTagged(f.dir.File("3.bmp"), 3);
    Open(run, f.dir.File("2.bmp"));
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_EQ(ShownTag(run.View()), 3);
    EXPECT_EQ(Sorted(f.dir.Names()), (std::vector<std::string>{"1.bmp", "3.bmp"}));
    EXPECT_EQ(TrashedNames(), (std::vector<std::string>{"0.bmp", "2.bmp", "3.bmp"}));
}

TEST(FileCommands, DeletingTheOnlyPictureEmptiesTheFolder)
{
    Folder f({"only.bmp"});
    RunningApp run;
    Open(run, f.dir.File("only.bmp"));
    run.frame->SetPaneText(3, QStringLiteral("kept"));
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_TRUE(f.dir.Names().empty());
    EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("无标题 - Tobble"));
    EXPECT_EQ(run.frame->GetPaneText(0), QStringLiteral("未打开任何图像"));
    EXPECT_EQ(run.frame->GetPaneText(1), QString());
    EXPECT_EQ(run.frame->GetPaneText(2), QString());
    EXPECT_EQ(run.frame->GetPaneText(3), QStringLiteral("kept"));
    for (int id : std::initializer_list<int>{res::ID_PREV_PICTURE, res::ID_NEXT_PICTURE, res::ID_DELETE, res::ID_ZOOM_IN, res::ID_ZOOM_FIT,
                   res::ID_FILE_SAVE, res::ID_OPEN_DEFAULT})
        EXPECT_FALSE(Enabled(run, id)) << id;
    EXPECT_TRUE(Enabled(run, res::ID_FILE_SAVE_AS));

    // Save As still writes the picture that was shown.
    FakeServices& fake = Fake();
    fake.dialogPath = Q(f.dir.File("again"));
    run.frame->ExecuteCommand(res::ID_FILE_SAVE_AS);
    EXPECT_EQ(f.dir.Names(), std::vector<std::string>{"again.bmp"});
}

TEST(FileCommands, DialogTypeFoundInEveryForm)
{
    // Whole filter, description alone (details hidden), patterns alone.
    const QVector<FileFilter> types = CKorvexView::SaveFilters();
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("GIF(*.gif) (*.gif)")), 6);
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("GIF(*.gif)")), 6);
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("JPEG(*.jpg)")), 4);
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("*.pcx")), 5);
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("所有文件(*.*)")), 1);
    EXPECT_EQ(FilterIndexOf(CKorvexView::OpenFilters(), QStringLiteral("(*.jpg *.jpeg)")), 5);
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("PNG(*.png)")), 7);
    EXPECT_EQ(FilterIndexOf(types, QStringLiteral("WebP(*.webp)")), 0); // read, not written
}

TEST(FileCommands, SaveNamesTheFileByTypeOrExtension)
{
    Folder src({"src.bmp"});
    TempDir out;
    std::filesystem::create_directory(out.File("with.dot"));
    RunningApp run;
    Open(run, src.dir.File("src.bmp"));

    auto save = [&](int type, const std::string& typed) {
        FakeServices& fake = Fake();
        fake.dialogPath = Q(typed);
        fake.dialogFilter = type;
        run.frame->ExecuteCommand(res::ID_FILE_SAVE);
        return fake;
    };
    auto startsWith = [](const std::string& path, const char* magic) {
        const Bytes b = ReadFileBytes(path);
        return b.size() >= 2 && b[0] == std::uint8_t(magic[0]) && b[1] == std::uint8_t(magic[1]);
    };

    save(2, out.File("photo"));
    EXPECT_TRUE(startsWith(out.File("photo.bmp"), "BM"));
    save(2, out.File("twice.BMP")); // already ends with the type's extension
    EXPECT_TRUE(startsWith(out.File("twice.BMP"), "BM"));
    save(1, out.File("photo.webp")); // read, but not written
    EXPECT_TRUE(startsWith(out.File("photo.webp.bmp"), "BM"));
    save(7, out.File("photo"));
    EXPECT_TRUE(startsWith(out.File("photo.png"), "\x89P"));
    save(1, out.File("plain"));
    EXPECT_TRUE(startsWith(out.File("plain.bmp"), "BM"));
    save(1, out.File("photo.JPEG"));
    EXPECT_TRUE(startsWith(out.File("photo.JPEG"), "\xFF\xD8"));
    save(1, out.File("with.dot/photo.gif"));
    EXPECT_TRUE(startsWith(out.File("with.dot/photo.gif"), "GI"));
    save(1, out.File("with.dot/photo.PCX"));
    EXPECT_EQ(ReadFileBytes(out.File("with.dot/photo.PCX")).at(0), 0x0A);
    save(3, out.File("with.dot/photo"));
    const Bytes tga = ReadFileBytes(out.File("with.dot/photo.tga"));
    ASSERT_GE(tga.size(), 18u);
    EXPECT_EQ(std::string(tga.end() - 18, tga.end() - 2), "TRUEVISION-XFILE");
    EXPECT_EQ(Sorted(out.Names()), (std::vector<std::string>{"photo.JPEG", "photo.bmp", "photo.png", "photo.webp.bmp",
                                                             "plain.bmp", "twice.BMP", "with.dot"}));
    EXPECT_EQ(Sorted(std::vector<std::string>{"photo.PCX", "photo.gif", "photo.tga"}), [&] {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(out.File("with.dot")))
            names.push_back(e.path().filename().string());
        return Sorted(names);
    }());

    // The name written differs from the one the dialog confirmed and exists:
    // asked again; No leaves the file as it was.
    WriteFileBytes(out.File("keep.bmp"), {'o', 'l', 'd'});
    FakeServices& fake = Fake();
    fake.dialogPath = Q(out.File("keep"));
    fake.dialogFilter = 2;
    fake.answer = IDNO;
    run.frame->ExecuteCommand(res::ID_FILE_SAVE);
    EXPECT_EQ(fake.messages, QStringList{QStringLiteral("keep.bmp 已存在。\n要替换它吗？")});
    EXPECT_EQ(ReadFileBytes(out.File("keep.bmp")), (Bytes{'o', 'l', 'd'}));
    save(2, out.File("keep")); // answered yes
    EXPECT_TRUE(startsWith(out.File("keep.bmp"), "BM"));

    // A cancelled dialog writes nothing.
    const std::size_t before = out.Names().size();
    Fake().dialogOk = false;
    run.frame->ExecuteCommand(res::ID_FILE_SAVE_AS);
    EXPECT_EQ(out.Names().size(), before);
    EXPECT_EQ(src.dir.Names(), std::vector<std::string>{"src.bmp"});
}

TEST(FileCommands, OpenInOtherPrograms)
{
    Folder f({"a b.bmp"});
    RunningApp run;
    EXPECT_FALSE(Enabled(run, res::ID_OPEN_PAINT));
    Open(run, f.dir.File("a b.bmp"));
    FakeServices& fake = Fake();
    run.frame->ExecuteCommand(res::ID_OPEN_DEFAULT);
    EXPECT_EQ(fake.defaultOpened, std::vector<std::string>{f.dir.File("a b.bmp")});
    run.frame->ExecuteCommand(res::ID_OPEN_PAINT);
    EXPECT_EQ(fake.startedProgram, QStringLiteral("/usr/bin/some-paint"));
    EXPECT_EQ(fake.startedArguments, std::vector<std::string>{f.dir.File("a b.bmp")});

    // The quoted form doubles backslashes for a Windows command line.
    run.frame->GetDocument()->m_strFiles[0] = "C:\\pics\\a.jpg";
    EXPECT_EQ(run.View()->QuotePath(), QStringLiteral("\"C:\\\\pics\\\\a.jpg\""));
}

TEST(FileCommands, NamesThatAreNotUtf8ReachTheirOwnFile)
{
    // Twins: an invalid byte, and the replacement character it decodes to.
    TempDir dir;
    const std::string raw = dir.File("g\xff.bmp");
    const std::string twin = dir.File("g\xef\xbf\xbd.bmp");
    WriteTagged(raw, 1);
    WriteTagged(twin, 2);
    {
        RunningApp run({raw});
        EXPECT_EQ(ShownTag(run.View()), 1);
        EXPECT_EQ(run.frame->windowTitle(), QStringLiteral("g\uFFFD.bmp - Tobble"));
        EXPECT_EQ(CKorvexApp::RecentFiles().front(), raw);
    }
    EmptyTrash();
    RunningApp run({twin});
    ASSERT_EQ(ShownTag(run.View()), 2);
    ASSERT_TRUE(run.frame->ExecuteCommand(res::ID_NEXT_PICTURE));
    ASSERT_EQ(ShownTag(run.View()), 1);

    // The programs started get the bytes of the file on screen.
    FakeServices& fake = Fake();
    run.frame->ExecuteCommand(res::ID_OPEN_DEFAULT);
    EXPECT_EQ(fake.defaultOpened, std::vector<std::string>{raw});
    const std::string script = dir.File("record.sh");
    const std::string recorder = "#!/bin/sh\nprintf %s \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n";
    WriteFileBytes(script, Bytes(recorder.begin(), recorder.end()));
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    fake.paintProgram = Q(script);
    fake.realStart = true;
    run.frame->ExecuteCommand(res::ID_OPEN_PAINT);
    for (int i = 0; i < 500 && !std::filesystem::exists(script + ".out"); ++i)
        QTest::qWait(10);
    const Bytes argument = ReadFileBytes(script + ".out");
    EXPECT_EQ(std::string(argument.begin(), argument.end()), raw);

    // Delete sends this one to the trash, with its name escaped in the record.
    run.frame->ExecuteCommand(res::ID_DELETE);
    EXPECT_FALSE(std::filesystem::exists(raw));
    EXPECT_TRUE(std::filesystem::exists(twin));
    EXPECT_TRUE(std::filesystem::exists(TrashFolder() + "/files/g\xff.bmp"));
    EXPECT_EQ(ShownTag(run.View()), 2);
    auto recordOf = [](const std::string& name) {
        const Bytes info = ReadFileBytes(TrashFolder() + "/info/" + name + ".trashinfo");
        return std::string(info.begin(), info.end());
    };
    EXPECT_NE(recordOf("g\xff.bmp").find("\nPath=" + dir.Path() + "/g%FF.bmp\n"), std::string::npos);
    const std::string newline = dir.File("two\nlines.bmp");
    WriteTagged(newline, 3);
    ASSERT_TRUE(CQtServices().MoveToTrash(newline));
    EXPECT_NE(recordOf("two\nlines.bmp").find("\nPath=" + dir.Path() + "/two%0Alines.bmp\n"), std::string::npos);
    // A file that is not there: refused, the trash as it was.
    EXPECT_FALSE(CQtServices().MoveToTrash(dir.File("gone.bmp")));
    EXPECT_EQ(TrashedNames().size(), 2u);
    EmptyTrash();

    // The Open dialog's decoded text: the one name that decodes to it is meant.
    WriteTagged(dir.File("h\xfe.bmp"), 4);
    Open(run, dir.File("h\xef\xbf\xbd.bmp"));
    EXPECT_EQ(ShownTag(run.View()), 4); // Qt's own clean-up of the scratch home would miss these names
}

TEST(FileCommands, FailedSaveSaysSoOnce)
{
    Folder src({"src.bmp"});
    TempDir out;
    RunningApp run;
    Open(run, src.dir.File("src.bmp"));
    const QString failed = QStringLiteral("保存文件失败!");
    auto saveFails = [&](const std::string& path, const char* reason) {
        FakeServices& fake = Fake();
        fake.dialogPath = Q(path);
        run.frame->ExecuteCommand(res::ID_FILE_SAVE);
        // After whatever the writer said itself, with the reason.
        const QString said = failed + "\n" + QString::fromUtf8(reason);
        EXPECT_EQ(fake.messages.count(said), 1) << path;
        EXPECT_EQ(fake.messages.value(fake.messages.size() - 1), said) << path;
    };
    for (const char* name : {"a.bmp", "a.tga", "a.pcx", "a.gif", "a.jpg"})
        saveFails(out.File(std::string("missing/") + name), "该文件夹不存在。");

    // A read-only folder; root's rights over it are set aside meanwhile.
    std::filesystem::create_directory(out.File("ro"));
    ASSERT_EQ(::chmod(out.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(out.File("ro").c_str(), 0555), 0);
    const bool root = ::geteuid() == 0;
    if (root)
        ::setfsuid(65534);
    saveFails(out.File("ro/a.bmp"), "没有在该文件夹中创建文件的权限。");
    saveFails(out.File("ro/a.gif"), "没有在该文件夹中创建文件的权限。");
    if (root)
        ::setfsuid(0);
    EXPECT_TRUE(std::filesystem::is_empty(out.File("ro")));

    // A full disk: a small file system filled up first.
    std::filesystem::create_directory(out.File("full"));
    if (::mount("tmpfs", out.File("full").c_str(), "tmpfs", 0, "size=16k") != 0) {
        std::printf("full disk not tried: no small tmpfs can be mounted here (root only): %s\n", std::strerror(errno));
        return;
    }
    if (std::FILE* fill = std::fopen(out.File("full/fill").c_str(), "wb")) {
        const std::vector<char> block(4096);
        while (std::fwrite(block.data(), 1, block.size(), fill) == block.size()) {
        }
        std::fclose(fill);
    }
    saveFails(out.File("full/a.bmp"), "磁盘空间不足。");
    saveFails(out.File("full/a.pcx"), "磁盘空间不足。");
    EXPECT_FALSE(std::filesystem::exists(out.File("full/a.bmp")) || std::filesystem::exists(out.File("full/a.pcx")));
    ::umount2(out.File("full").c_str(), MNT_DETACH);
}

// Arrows, Space and BackSpace page while the picture fits and scroll while
// it does not, and page on past a picture that failed to load; Home and End
// reach the list's ends; a key whose command is disabled does nothing at all
// (no scrolling either); a dropped file opens as Open does, its name taken
// byte for byte.
TEST(FileCommands, KeysMouseAndDropGoThroughTheCommands)
{
    Folder f({"a.bmp", "b.bmp", "c.bmp"});
    WriteFileBytes(f.dir.File("d.bmp"), MakeBmp(1000, 1000, 24, {}, std::vector<std::uint8_t>(3000 * 1000, 40)));
    WriteFileBytes(f.dir.File("b2.bmp"), {'B', 'M'}); // broken
    RunningApp run;
    run.frame->resize(800, 600);
    QApplication::processEvents();
    CKorvexDoc* doc = run.frame->GetDocument();
    CKorvexView* view = run.View();
    view->m_bEffectsOff = 1;
    Open(run, f.dir.File("a.bmp"));
    auto key = [&](Qt::Key k) {
        QTest::keyClick(view, k);
        view->RedrawNow();
    };
    key(Qt::Key_Right);
    EXPECT_EQ(doc->m_nCurrent, 1);
    key(Qt::Key_Space); // onto the broken b2.bmp
    EXPECT_EQ(doc->m_nCurrent, 2);
    key(Qt::Key_Space);
    EXPECT_EQ(doc->m_nCurrent, 3);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Right);
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(doc->m_nCurrent, 0);
    key(Qt::Key_Left); // Previous is disabled on the first picture
    EXPECT_EQ(doc->m_nCurrent, 0);
    key(Qt::Key_End);
    EXPECT_EQ(doc->m_nCurrent, 4);
    key(Qt::Key_Home);
    EXPECT_EQ(doc->m_nCurrent, 0);
    key(Qt::Key_End);

    // The last picture at its own size is larger than the window.
    run.frame->ExecuteCommand(res::ID_ZOOM_ORIGINAL);
    view->RedrawNow();
    QScrollBar* h = view->horizontalScrollBar();
    QScrollBar* v = view->verticalScrollBar();
    ASSERT_GT(h->maximum(), 0);
    ASSERT_GT(v->maximum(), 0);
    key(Qt::Key_PageDown);
    key(Qt::Key_End);
    EXPECT_EQ(v->value(), 0);
    EXPECT_EQ(h->value(), 0);
    key(Qt::Key_Right);
    EXPECT_GT(h->value(), 0);
    key(Qt::Key_Space);
    EXPECT_EQ(v->value(), std::min(v->pageStep(), v->maximum()));
    EXPECT_EQ(doc->m_nCurrent, 4);

    // Left-dragging moves the picture with the pointer.
    const int before = h->value();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(300, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(250, 300), view->viewport()->mapToGlobal(QPointF(250, 300)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(250, 300));
    EXPECT_EQ(h->value(), before + int(50 * view->viewport()->devicePixelRatioF()));

    // Dropping: the bytes of the name, not a look-alike.
    const std::string odd = f.dir.File("\xE9.bmp");
    WriteTagged(odd, 9);
    WriteTagged(f.dir.File("\xC3\xA9.bmp"), 8); // the UTF-8 spelling of the same letter
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("file://") + Q(f.dir.File("")) + QStringLiteral("%E9.bmp"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    EXPECT_EQ(ShownTag(view), 9);
    EXPECT_EQ(doc->m_strFiles[std::size_t(doc->m_nCurrent)], odd);

    // A source whose data is gone by the time of the drop: the file seen
    // while the drag moved is opened.
    mime.setUrls({QUrl::fromLocalFile(Q(f.dir.File("\xC3\xA9.bmp")))});
    QApplication::sendEvent(view->viewport(), &enter);
    QMimeData gone;
    QDropEvent late(QPointF(10, 10), Qt::CopyAction, &gone, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &late);
    EXPECT_EQ(ShownTag(view), 8);
}
