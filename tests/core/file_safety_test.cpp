// Opening and replacing files: special files under picture names, symbolic
// links, files the user may not write, and a file-size limit.
#include "formats/safefile.h"
#include "picture/picture.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const Bytes kOld = {'o', 'l', 'd'};

// A 1 x 1 picture ready to be written, and the BMP it writes.
struct SmallPicture {
    CPicture picture;
    Bytes bmp = MakeBmp(1, 1, 24, {}, {1, 2, 3, 0});
    SmallPicture() { EXPECT_EQ(picture.ReadBmp(bmp.data(), bmp.size(), 1, 0), 1); }
};

std::string LinkText(const std::string& path)
{
    char buffer[256];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

// A FIFO nobody writes to would hold an ordinary open forever: every reader
// and korvex-convert refuse it at once with their usual message, and a save
// onto it leaves it as it is.
TEST(SpecialFiles, FifosAndFoldersUnderPictureNamesAreRefusedAtOnce)
{
    TempDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"b.bmp", "无法打开文件!请确认文件是否存在或路径是否正确!"},
        {"t.tga", "无法打开文件!请确认文件是否存在或路径是否正确!"},
        {"p.pcx", "无法打开文件!请确认文件是否存在或路径是否正确!"},
        {"j.jpg", "载入JPEG文件时发生错误!"},
        {"g.gif", "载入GIF文件时发生错误!"},
    };
    alarm(20); // a blocking open ends the run here instead of hanging it
    for (const auto& [name, message] : cases) {
        ASSERT_EQ(mkfifo(dir.File(name).c_str(), 0644), 0);
        MessageRecorder recorder;
        CPicture picture;
        EXPECT_EQ(picture.LoadFile(dir.File(name), 1, 0), 0) << name;
        EXPECT_EQ(recorder.messages, std::vector<std::string>{message}) << name;
    }
    ASSERT_EQ(mkdir(dir.File("folder.bmp").c_str(), 0755), 0);
    CPicture picture;
    MessageRecorder recorder;
    EXPECT_EQ(picture.LoadFile(dir.File("folder.bmp"), 1, 0), 0);
    const std::string convert = std::string(KORVEX_CONVERT_PATH) + " " + dir.File("b.bmp") + " " +
                                dir.File("out.bmp") + " 2>/dev/null";
    const int status = std::system(convert.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;

    SmallPicture small;
    EXPECT_EQ(small.picture.WriteBmp(dir.File("b.bmp")), 0);
    alarm(0);
    struct stat st {};
    ASSERT_EQ(lstat(dir.File("b.bmp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.Names().size(), 6u); // five FIFOs and the folder, nothing written
}

// A save through a link replaces the file the link names, relative to the
// link's own folder, and keeps that file's permission bits; a dangling link
// gets the file it names created.
TEST(SafeWrite, LinksAreFollowedAndPermissionsKept)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("real").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("links").c_str(), 0755), 0);
    WriteFileBytes(dir.File("real/r.bmp"), kOld);
    ASSERT_EQ(chmod(dir.File("real/r.bmp").c_str(), 0640), 0);
    ASSERT_EQ(symlink("../real/r.bmp", dir.File("links/l.bmp").c_str()), 0);
    ASSERT_EQ(symlink("../real/new.bmp", dir.File("links/d.bmp").c_str()), 0);
    SmallPicture small;
    ASSERT_EQ(small.picture.WriteBmp(dir.File("links/l.bmp")), 1);
    ASSERT_EQ(small.picture.WriteBmp(dir.File("links/d.bmp")), 1);
    EXPECT_EQ(LinkText(dir.File("links/l.bmp")), "../real/r.bmp");
    EXPECT_EQ(LinkText(dir.File("links/d.bmp")), "../real/new.bmp");
    EXPECT_EQ(ReadFileBytes(dir.File("real/r.bmp")), small.bmp);
    EXPECT_EQ(ReadFileBytes(dir.File("real/new.bmp")), small.bmp);
    EXPECT_EQ(ModeOf(dir.File("real/r.bmp")), 0640u);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File("real")))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2u); // no temporary left behind
}

// A read-only file in a writable folder: renaming could replace it, a plain
// write could not, so the save is refused. Run as an unprivileged user, since
// root may write anything.
TEST(SafeWrite, FilesTheUserMayNotWriteAreRefused)
{
    TempDir dir;
    std::string prefix;
    if (geteuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root without setpriv to drop to an unprivileged user";
        prefix = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ";
        ASSERT_EQ(chown(dir.Path().c_str(), 65534, 65534), 0);
    }
    SmallPicture small;
    WriteFileBytes(dir.File("in.bmp"), small.bmp);
    WriteFileBytes(dir.File("ro.bmp"), kOld);
    ASSERT_EQ(chmod(dir.File("ro.bmp").c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.File("in.bmp").c_str(), 0644), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir.File("ro.bmp").c_str(), 65534, 65534), 0);
    }
    const std::string said = dir.File("said.txt");
    const std::string convert =
        prefix + KORVEX_CONVERT_PATH + " " + dir.File("in.bmp") + " " + dir.File("ro.bmp") + " 2>" + said;
    const int status = std::system(convert.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFileBytes(dir.File("ro.bmp")), kOld);
    EXPECT_EQ(ModeOf(dir.File("ro.bmp")), 0444u);
    EXPECT_EQ(dir.Names().size(), 3u);
    const Bytes text = ReadFileBytes(said);
    EXPECT_NE(std::string(text.begin(), text.end()).find("没有写入该文件的权限"), std::string::npos);
    // A writable file in a folder that is not: no temporary can be made, and
    // the message says it is the folder.
    ASSERT_EQ(mkdir(dir.File("locked").c_str(), 0755), 0);
    WriteFileBytes(dir.File("locked/w.bmp"), kOld);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir.File("locked").c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(dir.File("locked/w.bmp").c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(dir.File("locked").c_str(), 0555), 0);
    const std::string locked = prefix + KORVEX_CONVERT_PATH + " " + dir.File("in.bmp") + " " +
                               dir.File("locked/w.bmp") + " 2>" + said;
    EXPECT_NE(std::system(locked.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("locked/w.bmp")), kOld);
    const Bytes folderText = ReadFileBytes(said);
    EXPECT_NE(std::string(folderText.begin(), folderText.end()).find("没有在该文件夹中创建文件的权限"),
              std::string::npos);
    ASSERT_EQ(chmod(dir.File("locked").c_str(), 0755), 0);
    // The same user may replace it once it is writable.
    ASSERT_EQ(chmod(dir.File("ro.bmp").c_str(), 0644), 0);
    EXPECT_EQ(std::system(convert.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("ro.bmp")), small.bmp);
}

// Past the file-size limit the write fails instead of the signal ending the
// program: the old file stays and the temporary goes.
TEST(SafeWrite, FileSizeLimitFailsTheSaveCleanly)
{
    TempDir dir;
    WriteFileBytes(dir.File("x.bmp"), kOld);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        SafeFile file;
        const Bytes block(65536, 7);
        const bool opened = file.Open(dir.File("x.bmp")) != nullptr;
        file.Write(block.data(), block.size());
        _exit(opened && !file.Commit() && LastSaveFailure() == "文件超出了允许的大小。" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFileBytes(dir.File("x.bmp")), kOld);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"x.bmp"});
}
