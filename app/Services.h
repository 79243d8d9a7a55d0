// Everything the viewer asks of the desktop: file dialogs, message boxes,
// the delete confirmation, the trash and starting other programs. The
// program uses the Qt implementation; tests install a fake that answers and
// records.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <string>
#include <vector>

class QWidget;

struct FileFilter {
    QString description; // "BMP(*.bmp)"
    QString patterns;    // "*.bmp;*.dib", separated by ';'
};

// Message box buttons and answers, with the values the rest of the code
// compares against.
enum : int { MB_OK = 0, MB_YESNO = 4 };
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
enum class BoxIcon { Information, Warning, Error, Question };

class CServices {
public:
    virtual ~CServices() = default;

    // File dialogs. `filterIndex` is 1-based: it selects the initial filter
    // and returns the one selected when the dialog closed (0 when it matches
    // none). `path` names the folder to start in (empty: the working folder)
    // and returns the chosen file. False on cancel.
    virtual bool GetOpenFileName(QWidget* owner, const QVector<FileFilter>& filters, QString& path,
                                 int& filterIndex) = 0;
    // The dialog itself asks before accepting the name of an existing file.
    virtual bool GetSaveFileName(QWidget* owner, const QVector<FileFilter>& filters, QString& path,
                                 int& filterIndex) = 0;

    // A modal message box; returns IDOK, IDYES or IDNO.
    virtual int MessageBox(QWidget* owner, const QString& text, const QString& caption, int buttons,
                           BoxIcon icon) = 0;

    // Asks whether the file shown as `path` may go to the trash; false when
    // the user declines.
    virtual bool ConfirmDelete(QWidget* owner, const QString& path) = 0;

    // The file operations below take paths as the bytes the file system
    // holds: a name need not be valid UTF-8, and a decoded one may name
    // another file.
    // Moves `path` to the user's trash; false, with the file where it was,
    // when that is not possible.
    virtual bool MoveToTrash(const std::string& path) = 0;
    // Opens `path` with the desktop's default application for it.
    virtual bool OpenWithDefault(const std::string& path) = 0;
    // The program that edits pictures ("" when none is installed).
    virtual QString PaintProgram() = 0;
    // Starts `program` with `arguments`, detached; false when it did not start.
    virtual bool StartProgram(const QString& program, const std::vector<std::string>& arguments) = 0;
};

// The services in use; the Qt implementation unless a test replaced it.
CServices& Services();
// Installs `services` (not owned); null restores the Qt implementation.
void SetServices(CServices* services);

// The 1-based index in `filters` of the type a file dialog reports as
// selected, whether it reports the whole filter, the description alone or
// the patterns alone; 0 when none matches.
int FilterIndexOf(const QVector<FileFilter>& filters, const QString& selected);

// Routes the core's message boxes through Services().MessageBox, with the
// application window as owner.
void InstallMessageSink();

// The Qt implementation, also usable by fakes that want a real trash.
class CQtServices : public CServices {
public:
    bool GetOpenFileName(QWidget* owner, const QVector<FileFilter>& filters, QString& path, int& filterIndex) override;
    bool GetSaveFileName(QWidget* owner, const QVector<FileFilter>& filters, QString& path, int& filterIndex) override;
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, int buttons, BoxIcon icon) override;
    bool ConfirmDelete(QWidget* owner, const QString& path) override;
    bool MoveToTrash(const std::string& path) override;
    bool OpenWithDefault(const std::string& path) override;
    QString PaintProgram() override;
    bool StartProgram(const QString& program, const std::vector<std::string>& arguments) override;
};
