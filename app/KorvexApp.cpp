#include "KorvexApp.h"

#include "AboutDlg.h"
#include "KorvexDoc.h"
#include "KorvexView.h"
#include "MainFrame.h"
#include "res/resources.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>
#include <QTranslator>

namespace {
CKorvexApp* g_app = nullptr;
constexpr int kRecentFiles = 4;

// Qt's own texts (the buttons and labels of the common dialogs and message
// boxes) in Chinese, like everything else the program shows.
void InstallQtTranslation()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
} // namespace

CKorvexApp* AfxGetApp()
{
    return g_app;
}

CKorvexApp::CKorvexApp()
{
    g_app = this;
    OnCommand(res::ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(res::ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    m_showAbout = [](QWidget* parent) {
        CAboutDlg dlg(parent);
        dlg.exec();
    };
}

CKorvexApp::~CKorvexApp()
{
    m_pFrame.reset();
    m_pPrinter.reset();
    if (g_app == this)
        g_app = nullptr;
}

bool CKorvexApp::InitInstance(const QStringList& arguments)
{
    // The profile: organisation and application keys of the settings.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(res::String(res::IDS_APP_TITLE));
    InstallQtTranslation();
    // The recent-file list (4 entries) lives under "Recent File List" in it.

    m_pDoc = std::make_unique<CKorvexDoc>();
    m_pFrame = std::make_unique<CMainFrame>(m_pDoc.get(), this);
    m_pMainWnd = m_pFrame.get();
    m_pDoc->OnNewDocument();

    // A path on the command line opens the picture as Open does, once the
    // window has its final size.
    if (!arguments.isEmpty()) {
        const QString path = QFileInfo(arguments.first()).absoluteFilePath();
        AddToRecentFiles(path);
        CMainFrame* frame = m_pFrame.get();
        frame->m_onReady = [frame, path] {
            QApplication::processEvents(); // the view takes the window's new size
            frame->GetActiveView()->OpenPicture(path);
            frame->UpdateCommandUI();
        };
    }
    if (!m_pFrame->OnCreate())
        return false;
    m_pFrame->UpdateCommandUI();
    return true;
}

void CKorvexApp::OnAppAbout()
{
    m_showAbout(m_pMainWnd);
}

QPrinter* CKorvexApp::Printer()
{
    // Not at start-up: the print system is slow to ask and rarely needed.
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_pPrinter.get();
}

void CKorvexApp::OnFilePrintSetup()
{
    QPageSetupDialog dlg(Printer(), m_pMainWnd);
    dlg.exec();
}

QStringList CKorvexApp::RecentFiles()
{
    QSettings settings;
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString f = settings.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!f.isEmpty())
            files.append(f);
    }
    return files;
}

void CKorvexApp::AddToRecentFiles(const QString& path)
{
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles)
        files.removeLast();
    QSettings settings;
    for (int i = 1; i <= kRecentFiles; ++i)
        settings.setValue(QStringLiteral("Recent File List/File%1").arg(i), i <= files.size() ? files[i - 1] : QString());
}
