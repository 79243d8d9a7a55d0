// The view's side of full screen: the slideshow step every second, and
// Escape leaving full screen.
#include "app/KorvexDoc.h"
#include "app/KorvexView.h"
#include "app/MainFrame.h"

#include <QKeyEvent>
#include <QTimer>

void CKorvexView::OnViewFullScreen()
{
    if (m_pFrame)
        m_pFrame->OnViewFullScreen();
}

void CKorvexView::OnSlideStart()
{
    if (!m_pFrame)
        return;
    m_pFrame->m_bSlideShow = 1;
    m_bSlideStepDue = false;
    m_pSlideTimer->start(); // the first new picture comes a second later
}

void CKorvexView::OnSlideStop()
{
    // The next step finds the flag clear and stops the timer.
    if (m_pFrame)
        m_pFrame->m_bSlideShow = 0;
}

bool CKorvexView::IsTimerArmed(int id) const
{
    return id == 1111 && m_pSlideTimer->isActive();
}

void CKorvexView::OnTimer(int id)
{
    if (id != 1111)
        return;
    if (EffectPlaying()) {
        // The next picture waits for the effect on this one to end.
        m_bSlideStepDue = true;
        return;
    }
    m_bSlideStepDue = false;
    CKorvexDoc* doc = m_pDocument;
    if (!m_pFrame || !m_pFrame->m_bSlideShow || doc->m_nLast < 0) {
        // Stopped, or Delete emptied the folder: nothing left to show.
        if (m_pFrame)
            m_pFrame->m_bSlideShow = 0;
        m_pSlideTimer->stop();
        return;
    }
    doc->m_nCurrent = doc->m_nCurrent >= doc->m_nLast ? 0 : doc->m_nCurrent + 1;
    const std::string path = doc->m_strFiles[static_cast<std::size_t>(doc->m_nCurrent)];
    doc->SetTitle(FileTitle(path));
    // A picture that does not load has shown its message; the show goes on.
    LoadAndShow(path);
}

void CKorvexView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_pFrame)
        m_pFrame->EndFullScreen();
    if (HandleViewKey(event))
        return;
    QAbstractScrollArea::keyPressEvent(event);
}
