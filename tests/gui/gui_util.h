// A running frame for the GUI tests.
#pragma once

#include "app/KorvexApp.h"
#include "app/KorvexDoc.h"
#include "app/KorvexView.h"
#include "app/MainFrame.h"

#include <QApplication>
#include <QTest>

#include <memory>

struct RunningApp {
    explicit RunningApp(const QStringList& args = {})
    {
        app = std::make_unique<CKorvexApp>();
        ok = app->InitInstance(args);
        frame = app->m_pMainWnd;
        frame->show();
        frame->activateWindow();
        QApplication::processEvents();
    }
    CKorvexView* View() const { return frame->GetActiveView(); }
    std::unique_ptr<CKorvexApp> app;
    CMainFrame* frame = nullptr;
    bool ok = false;
};
