// korvex [PATH]: the picture viewer.
#include "KorvexApp.h"
#include "MainFrame.h"
#include "Services.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstring>

#include "formats/messages.h"
#include "picture/dib.h"
#include "res/resources.h"

#include <string>
#include <vector>

namespace {

// The positional arguments as the bytes the system passed: a file name need
// not be valid UTF-8, and its decoded form may name another file. QApplication
// has taken out its own options already and the parser has ended the program
// on any unknown one, so what is left is "--", positional arguments and the
// parser's own options.
std::vector<std::string> PathArguments(int argc, char** argv)
{
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (optionsEnded || arg.size() < 2 || arg[0] != '-')
            paths.push_back(arg);
    }
    return paths;
}

// Where an X display is there (XWayland under a Wayland desktop included),
// the viewer starts on it: there it can place its windows and animate them.
// A platform the user names, by environment or by -platform, is left alone;
// so is a session with a Wayland display only. Returns whether it chose.
bool PreferX11(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    // Wayland stays the fallback when the X display cannot be reached.
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    return true;
}

void DescribeOptions(QCommandLineParser& parser)
{
    QString description = QStringLiteral("Korvex picture viewer\n\nKeys and mouse:");
    for (const QString& line : res::KeyHelp()) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        description += QStringLiteral("\n  %1  %2").arg(parts.value(0), -22).arg(parts.value(1));
    }
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A picture to open (BMP, TGA, PCX, JPEG, GIF, PNG, WebP): its path or file:// URI."));
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version are text for the terminal: they are answered without
    // a window system, which a terminal over the network may not have.
    {
        QCommandLineParser parser;
        DescribeOptions(parser);
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        if (parser.parse(arguments) && (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version")))) {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
            parser.process(app); // prints and ends the program
        }
    }
    const bool choseX11 = PreferX11(argc, argv);
    QApplication app(argc, argv);
    if (choseX11)
        qunsetenv("QT_QPA_PLATFORM"); // programs started from here choose for themselves
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.process(app);
    // A native Wayland client can neither place its window nor fade it:
    // no window animations there.
    if (qEnvironmentVariableIsSet("KORVEX_NO_ANIMATION") || CMainFrame::OnWayland())
        CMainFrame::SetAnimationsEnabled(false);
    // Qt takes a window whose frame callback is 100 ms late for hidden, and
    // while it is, a resize the compositor asks for goes out without the new
    // window geometry: the next frame of a maximized or full-screen window
    // then breaks the protocol (a busy compositor is late often enough).
    // A window that waits for its callbacks however late they are is never
    // taken for hidden. Read as each window is made, so set before the first.
    if (CMainFrame::OnWayland() && !qEnvironmentVariableIsSet("QT_WAYLAND_FRAME_CALLBACK_TIMEOUT"))
        qputenv("QT_WAYLAND_FRAME_CALLBACK_TIMEOUT", "0");

    // What the core reports appears in a message box with the application's caption.
    InstallMessageSink();
    SetWaitCursorHooks([] { QApplication::setOverrideCursor(Qt::WaitCursor); },
                       [] { QApplication::restoreOverrideCursor(); });

    CKorvexApp theApp;
    if (!theApp.InitInstance(PathArguments(argc, argv)))
        return 0;
    return app.exec();
}
