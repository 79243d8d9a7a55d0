// The document: the list of pictures of the current folder and the two
// flags nearly every update handler reads. Paths are byte strings, as the
// file system holds them.
#pragma once

#include "CmdTarget.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class CKorvexDoc : public CCmdTarget {
public:
    static constexpr int MAX_FOLDER_FILES = 500;

    CKorvexDoc();

    bool OnNewDocument();
    QString GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title);

    // Rescans the folder of `path` into m_strFiles and m_nLast; returns 1.
    int BuildFileList(const std::string& path);
    // Removes entry m_nCurrent; m_nCurrent then names the entry after it.
    void RemoveCurrent();
    // The index of the first entry equal to `path` (exact bytes), or -1.
    int FindFile(const std::string& path) const;

    int m_bNoPicture = 1;     // 1 until a picture has been opened
    int m_bFolderEmptied = 0; // set when Delete removed the folder's last picture
    int m_nLast = -1;         // index of the last entry, -1 for an empty list
    int m_nCurrent = 0;       // index of the picture on screen
    std::vector<std::string> m_strFiles; // full paths, at most MAX_FOLDER_FILES

    // Called whenever the title changes (the frame updates its caption).
    std::function<void(const QString&)> m_onTitleChanged;

private:
    QString m_strTitle;
};

// The file name with extension of a path, for titles.
QString FileTitle(const std::string& path);
// A byte-string path for display.
QString DisplayPath(const std::string& path);
