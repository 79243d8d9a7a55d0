// The application object: start-up, the profile and the About command.
#pragma once

#include "CmdTarget.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CKorvexDoc;
class QWidget;
class CMainFrame;
class CPrintSupport;

class CKorvexApp : public CCmdTarget {
public:
    CKorvexApp();
    ~CKorvexApp() override;

    // Start-up in order: profile, recent files, document/frame/view, the
    // command line (paths as the bytes the system passed), show. Returns
    // false to end the program.
    bool InitInstance(const std::vector<std::string>& arguments);
    void OnAppAbout();
    void OnFilePrintSetup();
    // The print module, loaded on first use; null (the user told why) when
    // it cannot be loaded.
    CPrintSupport* PrintSupport();

    CMainFrame* m_pMainWnd = nullptr;
    CKorvexDoc* GetDocument() const { return m_pDoc.get(); }

    // The recent-file list of the profile (at most 4, newest first), as
    // byte-string paths.
    static std::vector<std::string> RecentFiles();
    static void AddToRecentFiles(const std::string& path);

    // Shown modally by OnAppAbout; tests replace it to look at the dialog.
    std::function<void(QWidget* parent)> m_showAbout;

private:
    std::unique_ptr<CKorvexDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<CPrintSupport> m_pPrint;
};

CKorvexApp* AfxGetApp();
