// korvex [PATH]: the picture viewer.
#include "KorvexApp.h"
#include "MainFrame.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Korvex picture viewer"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A picture to open (BMP, TGA, PCX, JPEG, GIF)."));
    parser.process(app);
    if (qEnvironmentVariableIsSet("KORVEX_NO_ANIMATION"))
        CMainFrame::SetAnimationsEnabled(false);

    CKorvexApp theApp;
    if (!theApp.InitInstance(parser.positionalArguments()))
        return 0;
    return app.exec();
}
