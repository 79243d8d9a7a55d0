// korvex [PATH]: the picture viewer.
#include "KorvexApp.h"
#include "MainFrame.h"
#include "Services.h"

#include <QApplication>
#include <QCommandLineParser>

#include "formats/messages.h"
#include "picture/dib.h"
#include "res/resources.h"

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
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A picture to open (BMP, TGA, PCX, JPEG, GIF)."));
    parser.process(app);
    if (qEnvironmentVariableIsSet("KORVEX_NO_ANIMATION"))
        CMainFrame::SetAnimationsEnabled(false);

    // What the core reports appears in a message box with the application's caption.
    InstallMessageSink();
    SetWaitCursorHooks([] { QApplication::setOverrideCursor(Qt::WaitCursor); },
                       [] { QApplication::restoreOverrideCursor(); });

    CKorvexApp theApp;
    if (!theApp.InitInstance(parser.positionalArguments()))
        return 0;
    return app.exec();
}
