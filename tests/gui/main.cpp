// The GUI suites run against the real frame, document and view on the
// offscreen platform, without animations.
#include "app/MainFrame.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    // Keep the user's real settings out of the tests.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    CMainFrame::SetAnimationsEnabled(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
