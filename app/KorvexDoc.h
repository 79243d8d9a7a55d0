// The document: the list of pictures of the current folder and the two
// flags nearly every update handler reads.
#pragma once

#include "CmdTarget.h"

#include <QString>
#include <QStringList>

class CKorvexDoc : public CCmdTarget {
public:
    CKorvexDoc();

    void OnNewDocument();
    QString GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title);

    int m_bNoPicture = 1;     // 1 until a picture has been opened
    int m_bFolderEmptied = 0; // set when Delete removed the folder's last picture
    QStringList m_strFiles;   // full paths, at most MAX_FOLDER_FILES
    int m_nCurrent = 0;
    int m_nLast = -1;

    // Called whenever the title changes (the frame updates its caption).
    std::function<void(const QString&)> m_onTitleChanged;

private:
    QString m_strTitle;
};
