#include "KorvexDoc.h"

#include "res/resources.h"

CKorvexDoc::CKorvexDoc()
{
    m_strTitle = res::UntitledName();
}

void CKorvexDoc::OnNewDocument()
{
    m_bNoPicture = 1;
    m_bFolderEmptied = 0;
    m_strFiles.clear();
    m_nCurrent = 0;
    m_nLast = -1;
    SetTitle(res::UntitledName());
}

void CKorvexDoc::SetTitle(const QString& title)
{
    m_strTitle = title;
    if (m_onTitleChanged)
        m_onTitleChanged(title);
}
