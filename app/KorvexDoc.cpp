#include "KorvexDoc.h"

#include "formats/folderlist.h"
#include "formats/messages.h"
#include "res/resources.h"

#include <QFile>

QString FileTitle(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return QFile::decodeName(QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

CKorvexDoc::CKorvexDoc()
{
    m_strTitle = res::UntitledName();

    OnUpdate(res::ID_FILE_SAVE, [this](CCmdUI& ui) { ui.Enable(m_bNoPicture == 0 && m_bFolderEmptied == 0); });
    OnUpdate(res::ID_FILE_SAVE_AS, [this](CCmdUI& ui) { ui.Enable(m_bNoPicture == 0); });
}

bool CKorvexDoc::OnNewDocument()
{
    m_bNoPicture = 1;
    SetTitle(res::UntitledName());
    return true;
}

void CKorvexDoc::SetTitle(const QString& title)
{
    m_strTitle = title;
    if (m_onTitleChanged)
        m_onTitleChanged(title);
}

int CKorvexDoc::BuildFileList(const std::string& path)
{
    bool overLimit = false;
    ListPictureFiles(path, MAX_FOLDER_FILES, m_strFiles, overLimit);
    m_nLast = static_cast<int>(m_strFiles.size()) - 1;
    if (overLimit) {
        const QString text = QString::asprintf("当前目录中包含的图片文件多于%d个，当翻页浏览时将只显示前%d个。",
                                               MAX_FOLDER_FILES, MAX_FOLDER_FILES);
        AfxMessageBox(text.toStdString());
    }
    return 1;
}

void CKorvexDoc::RemoveCurrent()
{
    if (m_nCurrent < 0 || m_nCurrent > m_nLast)
        return;
    m_strFiles.erase(m_strFiles.begin() + m_nCurrent);
    --m_nLast;
}

int CKorvexDoc::FindFile(const std::string& path) const
{
    for (int i = 0; i <= m_nLast; ++i)
        if (m_strFiles[static_cast<std::size_t>(i)] == path)
            return i;
    return -1;
}
