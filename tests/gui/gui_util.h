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

#include "app/Services.h"

// Answers every dialog as a test arranges and records what the viewer asked.
// One instance serves the whole run (tests/gui/main.cpp); Fake() resets it.
struct FakeServices : CServices {
    // Answers.
    bool dialogOk = true;
    QString dialogPath;
    int dialogFilter = 1; // the type selected when the dialog closes
    int answer = IDYES;   // for yes/no boxes
    bool confirmDelete = true;
    bool trashFails = false;
    QString paintProgram = QStringLiteral("/usr/bin/some-paint");

    // Records.
    QVector<FileFilter> filters;
    int initialFilter = 0;
    QStringList messages;
    QStringList captions;
    QStringList confirmations;
    QStringList defaultOpened;
    QString startedProgram;
    QStringList startedArguments;

    bool GetOpenFileName(QWidget*, const QVector<FileFilter>& f, QString& path, int& index) override
    {
        return Dialog(f, path, index);
    }
    bool GetSaveFileName(QWidget*, const QVector<FileFilter>& f, QString& path, int& index) override
    {
        return Dialog(f, path, index);
    }
    int MessageBox(QWidget*, const QString& text, const QString& caption, int buttons, BoxIcon) override
    {
        messages << text;
        captions << caption;
        return buttons == MB_YESNO ? answer : IDOK;
    }
    bool ConfirmDelete(QWidget*, const QString& path) override
    {
        confirmations << path;
        return confirmDelete;
    }
    bool MoveToTrash(const QString& path) override { return !trashFails && CQtServices().MoveToTrash(path); }
    bool OpenWithDefault(const QString& path) override
    {
        defaultOpened << path;
        return true;
    }
    QString PaintProgram() override { return paintProgram; }
    bool StartProgram(const QString& program, const QStringList& arguments) override
    {
        startedProgram = program;
        startedArguments = arguments;
        return true;
    }

private:
    bool Dialog(const QVector<FileFilter>& f, QString& path, int& index)
    {
        filters = f;
        initialFilter = index;
        if (!dialogOk)
            return false;
        path = dialogPath;
        index = dialogFilter;
        return true;
    }
};

FakeServices& Fake();
