#include "Services.h"

#include "formats/messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

namespace {

CQtServices g_qtServices;
CServices* g_services = nullptr;

QString QtFilter(const FileFilter& filter)
{
    QString patterns = filter.patterns;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return filter.description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

bool RunFileDialog(QWidget* owner, const QVector<FileFilter>& filters, QString& path, int& filterIndex, bool save)
{
    QStringList names;
    for (const FileFilter& f : filters)
        names.append(QtFilter(f));
    QFileDialog dialog(owner);
    if (!path.isEmpty() && QFileInfo(path).isDir())
        dialog.setDirectory(path);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The descriptions already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(names);
    if (filterIndex >= 1 && filterIndex <= names.size())
        dialog.selectNameFilter(names[filterIndex - 1]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().first();
    filterIndex = FilterIndexOf(filters, dialog.selectedNameFilter());
    return true;
}

// The owner a message box is centred on: the program's main window when the
// box would otherwise belong to a tool window (the floating toolbar in full
// screen) or to nothing.
QWidget* BoxOwner(QWidget* owner)
{
    QWidget* window = owner ? owner->window() : QApplication::activeWindow();
    if (window && window->windowType() != Qt::Tool && window->windowType() != Qt::Popup)
        return window;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(top) && top->isVisible())
            return top;
    return window;
}

// Whether `trashed` lies in the files folder of a freedesktop trash:
// <data>/Trash/files, <top>/.Trash-<uid>/files or <top>/.Trash/<uid>/files.
bool InTrashFolder(const QString& trashed)
{
    const QDir files = QFileInfo(trashed).absoluteDir();
    if (files.dirName() != QLatin1String("files"))
        return false;
    QDir trash = files;
    if (!trash.cdUp())
        return false;
    const QString name = trash.dirName();
    if (name == QLatin1String("Trash") || name.startsWith(QLatin1String(".Trash-")))
        return true;
    return trash.cdUp() && trash.dirName() == QLatin1String(".Trash");
}

} // namespace

int FilterIndexOf(const QVector<FileFilter>& filters, const QString& selected)
{
    const QString wanted = selected.simplified();
    for (int i = 0; i < filters.size(); ++i)
        if (wanted == QtFilter(filters[i]).simplified() || wanted == filters[i].description.simplified())
            return i + 1;
    // Only the patterns, in the dialog's own spelling: "(*.gif)" or "*.gif".
    QString patterns = wanted;
    const qsizetype open = patterns.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && patterns.endsWith(QLatin1Char(')')))
        patterns = patterns.mid(open + 1, patterns.size() - open - 2);
    const QStringList got = patterns.split(QRegularExpression(QStringLiteral("[ ;]+")), Qt::SkipEmptyParts);
    for (int i = 0; i < filters.size(); ++i)
        if (!got.isEmpty() && got == filters[i].patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            return i + 1;
    return 0;
}

CServices& Services()
{
    return g_services ? *g_services : g_qtServices;
}

void SetServices(CServices* services)
{
    g_services = services;
}

void InstallMessageSink()
{
    SetMessageSink([](const std::string& text, const std::string& caption, MessageIcon icon) {
        BoxIcon boxIcon = BoxIcon::Warning;
        if (icon == MessageIcon::Error)
            boxIcon = BoxIcon::Error;
        else if (icon == MessageIcon::Information)
            boxIcon = BoxIcon::Information;
        Services().MessageBox(QApplication::activeWindow(), QString::fromStdString(text),
                              QString::fromStdString(caption), MB_OK, boxIcon);
    });
}

bool CQtServices::GetOpenFileName(QWidget* owner, const QVector<FileFilter>& filters, QString& path, int& filterIndex)
{
    return RunFileDialog(owner, filters, path, filterIndex, false);
}

bool CQtServices::GetSaveFileName(QWidget* owner, const QVector<FileFilter>& filters, QString& path, int& filterIndex)
{
    return RunFileDialog(owner, filters, path, filterIndex, true);
}

int CQtServices::MessageBox(QWidget* owner, const QString& text, const QString& caption, int buttons, BoxIcon icon)
{
    QMessageBox::Icon qicon = QMessageBox::Warning;
    switch (icon) {
    case BoxIcon::Information: qicon = QMessageBox::Information; break;
    case BoxIcon::Warning: qicon = QMessageBox::Warning; break;
    case BoxIcon::Error: qicon = QMessageBox::Critical; break;
    case BoxIcon::Question: qicon = QMessageBox::Question; break;
    }
    QMessageBox box(qicon, caption, text, QMessageBox::NoButton, BoxOwner(owner));
    if (buttons == MB_YESNO) {
        box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        QAbstractButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == no ? IDNO : IDYES;
    }
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    return IDOK;
}

bool CQtServices::ConfirmDelete(QWidget* owner, const QString& path)
{
    const QString text = QStringLiteral("确实要把“%1”放入回收站吗？").arg(QFileInfo(path).fileName());
    return MessageBox(owner, text, QStringLiteral("删除文件"), MB_YESNO, BoxIcon::Question) == IDYES;
}

bool CQtServices::MoveToTrash(const QString& path)
{
#ifndef Q_OS_WIN
    // Without the user's trash folder some Qt versions report success and
    // leave the file in a "files" folder next to the working directory, so
    // make sure the folder exists first.
    const QString trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    for (const char* sub : {"/files", "/info"}) {
        const QString dir = trash + QLatin1String(sub);
        if (!QFileInfo::exists(dir) && QDir().mkpath(dir))
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QFile::setPermissions(trash, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed))
        return false;
#ifndef Q_OS_WIN
    if (!InTrashFolder(trashed)) {
        // Not a trash: put the file back and forget the stray record.
        QFile::rename(trashed, path);
        QDir info = QFileInfo(trashed).absoluteDir();
        if (info.cdUp() && info.cd(QStringLiteral("info")))
            QFile::remove(info.filePath(QFileInfo(trashed).fileName() + QStringLiteral(".trashinfo")));
        return false;
    }
#endif
    return true;
}

bool CQtServices::OpenWithDefault(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString CQtServices::PaintProgram()
{
#ifdef Q_OS_WIN
    return QStringLiteral("mspaint.exe");
#else
    const QString chosen = qEnvironmentVariable("KORVEX_PAINT");
    if (!chosen.isEmpty())
        return chosen;
    for (const char* program : {"kolourpaint", "pinta", "mtpaint", "gimp"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(program));
        if (!found.isEmpty())
            return found;
    }
    return {};
#endif
}

bool CQtServices::StartProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}
