// A running frame for the GUI tests.
#pragma once

#include "app/KorvexApp.h"
#include "app/KorvexDoc.h"
#include "app/KorvexView.h"
#include "app/MainFrame.h"

#include <QApplication>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

struct RunningApp {
    explicit RunningApp(const std::vector<std::string>& args = {})
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
    bool realStart = false; // StartProgram really starts the program
    QString paintProgram = QStringLiteral("/usr/bin/some-paint");

    // Records.
    QVector<FileFilter> filters;
    int initialFilter = 0;
    QStringList messages;
    QStringList captions;
    QStringList confirmations;
    std::vector<std::string> defaultOpened;
    QString startedProgram;
    std::vector<std::string> startedArguments;

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
    bool MoveToTrash(const std::string& path) override { return !trashFails && CQtServices().MoveToTrash(path); }
    bool OpenWithDefault(const std::string& path) override
    {
        defaultOpened.push_back(path);
        return true;
    }
    QString PaintProgram() override { return paintProgram; }
    bool StartProgram(const QString& program, const std::vector<std::string>& arguments) override
    {
        startedProgram = program;
        startedArguments = arguments;
        return !realStart || CQtServices().StartProgram(program, arguments);
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
