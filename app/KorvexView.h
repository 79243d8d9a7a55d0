// The scrolling view that owns the picture on screen.
#pragma once

#include "CmdTarget.h"
#include "picture/picture.h"

#include <QAbstractScrollArea>

class CKorvexDoc;
class CMainFrame;

class CKorvexView : public QAbstractScrollArea, public CCmdTarget {
    Q_OBJECT
public:
    CKorvexView(CKorvexDoc* doc, QWidget* parent = nullptr);

    CKorvexDoc* GetDocument() const { return m_pDocument; }
    void SetFrame(CMainFrame* frame) { m_pFrame = frame; }

    CPicture m_picture;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CKorvexDoc* m_pDocument;
    CMainFrame* m_pFrame = nullptr;
};
