// The GUI suites run against the real frame, document and view on the
// offscreen platform, without animations, with every dialog answered by the
// fake services and the user's home (settings, trash) in a scratch folder.
#include "app/MainFrame.h"
#include "gui_util.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
FakeServices* g_fake = nullptr;
}

FakeServices& Fake()
{
    *g_fake = FakeServices();
    return *g_fake;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/korvex-home-XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    // The trash goes through GIO, which knows nothing of Qt's test mode.
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qunsetenv("XDG_CONFIG_HOME");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    CMainFrame::SetAnimationsEnabled(false);
    FakeServices fake;
    g_fake = &fake;
    SetServices(&fake);
    InstallMessageSink();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    SetServices(nullptr);
    return result;
}
