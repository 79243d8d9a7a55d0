#include "updater/Dialog102.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

// Resources of a static library register on request, outside any namespace.
static void InitResources()
{
    Q_INIT_RESOURCE(nubrel);
}

namespace {

struct Control {
    int id;
    const char* cls;
    const char* text;
    int x, y, w, h; // dialog units
};

} // namespace

TEST(Nubrel, ExitsAtOnceWithStatusZero)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(NUBREL_PATH), {});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(process.readAllStandardError().isEmpty());
}

TEST(Nubrel, ResourcesAreEmbeddedInTheProgram)
{
    QFile binary(QStringLiteral(NUBREL_PATH));
    ASSERT_TRUE(binary.open(QIODevice::ReadOnly));
    const QByteArray bytes = binary.readAll();
    EXPECT_TRUE(bytes.contains(QStringLiteral("Windows 套接字初始化失败。").toUtf8()));
    EXPECT_TRUE(bytes.contains(QStringLiteral("自动更新客户端").toUtf8()));
    EXPECT_TRUE(bytes.contains("1.0.0.1"));

    InitResources();
    QFile strings(QStringLiteral(":/nubrel/strings.txt"));
    ASSERT_TRUE(strings.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(strings.readAll()).trimmed(), QStringLiteral("103\tWindows 套接字初始化失败。"));
    QFile version(QStringLiteral(":/nubrel/version.txt"));
    ASSERT_TRUE(version.open(QIODevice::ReadOnly));
    const QString v = QString::fromUtf8(version.readAll());
    EXPECT_TRUE(v.contains(QStringLiteral("FileVersion\t1.0.0.1")));
    EXPECT_TRUE(v.contains(QStringLiteral("ProductVersion\t1.0.0.1")));
    EXPECT_TRUE(v.contains(QStringLiteral("ProductName\tNubrel")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/nubrel/icon128.svg")));
}

TEST(Nubrel, Dialog102HasEveryControl)
{
    QDialog dialog;
    SetupDialog102(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("自动更新客户端"));
    EXPECT_EQ(dialog.size(), QSize(279 * 3 / 2, 206 * 3 / 2));
    const Control expected[] = {
        {1, "QPushButton", "关闭", 181, 177, 50, 14},
        {1000, "QProgressBar", "", 57, 157, 208, 12},
        {1001, "QProgressBar", "", 57, 139, 208, 12},
        {-1, "QGroupBox", "自动更新", 7, 7, 266, 192},
        {-1, "QLabel", "更新总进度：", 12, 141, 42, 8},
        {1003, "QComboBox", "", 57, 21, 208, 190},
        {1004, "QPushButton", "自动选择服务器", 46, 177, 59, 14},
        {1005, "QPushButton", "立即更新", 118, 177, 50, 14},
        {1008, "QListWidget", "", 12, 39, 252, 93},
    };
    QList<QWidget*> controls;
    for (QWidget* w : dialog.findChildren<QWidget*>())
        if (w->property("dialogId").isValid())
            controls << w;
    ASSERT_EQ(controls.size(), 9);
    for (const Control& c : expected) {
        bool found = false;
        for (QWidget* w : controls) {
            if (w->property("dialogId").toInt() != c.id || QString(w->metaObject()->className()) != c.cls)
                continue;
            QString text;
            if (auto* b = qobject_cast<QPushButton*>(w))
                text = b->text();
            else if (auto* l = qobject_cast<QLabel*>(w))
                text = l->text();
            else if (auto* g = qobject_cast<QGroupBox*>(w))
                text = g->title();
            if (text != QString::fromUtf8(c.text))
                continue;
            found = true;
            EXPECT_EQ(w->geometry(), QRect(c.x * 3 / 2, c.y * 3 / 2, c.w * 3 / 2, c.h * 3 / 2)) << c.text;
        }
        EXPECT_TRUE(found) << c.id << " " << c.cls << " " << c.text;
    }
    auto* close = dialog.findChild<QPushButton*>(QStringLiteral("button1"));
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(close->isDefault());
}
