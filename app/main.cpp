// korvex [PATH]: the picture viewer.
#include "KorvexApp.h"
#include "MainFrame.h"
#include "Services.h"

#include <QApplication>
#include <QCommandLineParser>

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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QCommandLineParser parser;
    QString description = QStringLiteral("Korvex picture viewer\n\nKeys and mouse:");
    for (const QString& line : res::KeyHelp()) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        description += QStringLiteral("\n  %1  %2").arg(parts.value(0), -22).arg(parts.value(1));
    }
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A picture to open (BMP, TGA, PCX, JPEG, GIF, PNG, WebP)."));
    parser.process(app);
    if (qEnvironmentVariableIsSet("KORVEX_NO_ANIMATION"))
        CMainFrame::SetAnimationsEnabled(false);

    // What the core reports appears in a message box with the application's caption.
    InstallMessageSink();
    SetWaitCursorHooks([] { QApplication::setOverrideCursor(Qt::WaitCursor); },
                       [] { QApplication::restoreOverrideCursor(); });

    CKorvexApp theApp;
    if (!theApp.InitInstance(PathArguments(argc, argv)))
        return 0;
    return app.exec();
}
