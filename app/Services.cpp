#include "Services.h"

#include "GioDesktop.h"

#include "formats/messages.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>

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

bool CQtServices::MoveToTrash(const std::string& path)
{
    return TrashFile(path);
}

bool CQtServices::OpenWithDefault(const std::string& path)
{
    return LaunchDefaultApplication(path);
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

bool CQtServices::StartProgram(const QString& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{QFile::encodeName(program).toStdString()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return SpawnDetached(argv);
}
