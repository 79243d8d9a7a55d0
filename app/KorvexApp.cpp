#include "KorvexApp.h"

#include "AboutDlg.h"
#include "KorvexDoc.h"
#include "KorvexView.h"
#include "MainFrame.h"
#include "PrintSupport.h"
#include "formats/messages.h"
#include "res/resources.h"

#include <QApplication>
#include <QLibrary>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

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

// `path` made absolute against the working folder and cleaned of "." and
// ".." steps and doubled separators, on the bytes.
std::string AbsolutePath(const std::string& path)
{
    std::string full = path;
    if (path.empty() || path.front() != '/') {
        char* cwd = ::getcwd(nullptr, 0); // allocated, as long as it needs
        full = std::string(cwd ? cwd : "") + '/' + path;
        std::free(cwd);
    }
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (start <= full.size()) {
        const std::size_t slash = std::min(full.find('/', start), full.size());
        const std::string step = full.substr(start, slash - start);
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        start = slash + 1;
    }
    std::string cleaned;
    for (const std::string& step : steps)
        cleaned += '/' + step;
    return cleaned.empty() ? "/" : cleaned;
}

// What a command-line argument names: a file URI (file:///path or
// file://localhost/path, as launchers and file managers hand them over) names
// the local file its percent-decoded path spells, byte for byte, so a name
// that is not UTF-8 stays the file it was; anything else is a path. A file
// whose name merely looks like a URI is still that file.
std::string LocalPath(const std::string& argument)
{
    if (argument.size() < 6 || strncasecmp(argument.c_str(), "file:/", 6) != 0 || ::access(argument.c_str(), F_OK) == 0)
        return argument;
    std::string rest = argument.substr(5);
    if (rest.compare(0, 2, "//") == 0) {
        const std::size_t slash = std::min(rest.find('/', 2), rest.size());
        const std::string host = rest.substr(2, slash - 2);
        if (!host.empty() && strcasecmp(host.c_str(), "localhost") != 0)
            return argument; // another machine's file: not one this program can open
        rest = rest.substr(slash);
    }
    const QByteArray path = QByteArray::fromPercentEncoding(QByteArray::fromStdString(rest));
    // An encoded zero byte would end the name early, at another file's name.
    if (path.isEmpty() || path.contains('\0'))
        return argument;
    return path.toStdString();
}

QString RecentKey(int i)
{
    return QStringLiteral("Recent File List/File%1").arg(i);
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
    m_pPrint.reset();
    if (g_app == this)
        g_app = nullptr;
}

bool CKorvexApp::InitInstance(const std::vector<std::string>& arguments)
{
    // The profile: organisation and application keys of the settings.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(res::String(res::IDS_APP_TITLE));
    InstallQtTranslation();
    // The recent-file list (4 entries) lives under "Recent File List" in it.

    // The menu belongs to the frame, as the frame's own menu bar: no asking
    // the session bus at start-up whether a desktop-wide menu is there.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    m_pDoc = std::make_unique<CKorvexDoc>();
    m_pFrame = std::make_unique<CMainFrame>(m_pDoc.get(), this);
    m_pMainWnd = m_pFrame.get();
    m_pDoc->OnNewDocument();

    // A path on the command line opens the picture as Open does, once the
    // window has its final size.
    if (!arguments.empty()) {
        const std::string path = AbsolutePath(LocalPath(arguments.front()));
        AddToRecentFiles(path);
        CMainFrame* frame = m_pFrame.get();
        frame->m_onReady = [frame, path] {
            // The layouts give the view the window's new size; nothing is
            // painted before the picture is there to be painted.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            frame->GetActiveView()->OpenPath(path);
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

CPrintSupport* CKorvexApp::PrintSupport()
{
    if (m_pPrint)
        return m_pPrint.get();
    // Installed, the module is in the library folder beside the program's;
    // in the build tree it is next to the program.
    const QString dir = QCoreApplication::applicationDirPath();
    QString error;
    for (const QString& path : {dir + QStringLiteral("/" KORVEX_MODULE_DIR "/korvex-print.so"),
                                dir + QStringLiteral("/korvex-print.so")}) {
        QLibrary module(path);
        if (const auto create = reinterpret_cast<CreatePrintSupportFn>(module.resolve("KorvexCreatePrintSupport"))) {
            m_pPrint.reset(create());
            return m_pPrint.get();
        }
        if (error.isEmpty())
            error = module.errorString();
    }
    AfxMessageBox("打印失败!\n" + error.toStdString());
    return nullptr;
}

void CKorvexApp::OnFilePrintSetup()
{
    if (CPrintSupport* print = PrintSupport())
        print->PageSetup(m_pMainWnd);
}

// A path whose bytes are UTF-8 is stored as text, as it always was; any
// other is stored as bytes, so that no name is lost in a decoding.
std::vector<std::string> CKorvexApp::RecentFiles()
{
    QSettings settings;
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QVariant value = settings.value(RecentKey(i));
        const QByteArray path =
            value.typeId() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8();
        if (!path.isEmpty())
            files.push_back(path.toStdString());
    }
    return files;
}

void CKorvexApp::AddToRecentFiles(const std::string& path)
{
    std::vector<std::string> files = RecentFiles();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    files.resize(std::min<std::size_t>(files.size(), kRecentFiles));
    QSettings settings;
    for (int i = 1; i <= kRecentFiles; ++i) {
        if (i > int(files.size())) {
            settings.setValue(RecentKey(i), QString());
            continue;
        }
        const QByteArray bytes = QByteArray::fromStdString(files[std::size_t(i - 1)]);
        const QString text = QString::fromUtf8(bytes);
        if (text.toUtf8() == bytes)
            settings.setValue(RecentKey(i), text);
        else
            settings.setValue(RecentKey(i), bytes);
    }
}
