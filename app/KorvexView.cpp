#include "KorvexView.h"

#include "KorvexDoc.h"
#include "res/resources.h"

#include <QPainter>

CKorvexView::CKorvexView(CKorvexDoc* doc, QWidget* parent) : QAbstractScrollArea(parent), m_pDocument(doc)
{
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(true);
    // File New is never available: the one document lives for the whole run.
    OnUpdate(res::ID_FILE_NEW, [](CCmdUI& ui) { ui.Enable(false); });
    OnUpdate(res::ID_FILE_MRU_FILE1, [](CCmdUI& ui) { ui.Enable(false); });
}

void CKorvexView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
}
