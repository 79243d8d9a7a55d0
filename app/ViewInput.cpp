// The view's keys and mouse gestures beyond the accelerators: arrows, Space
// and BackSpace page or scroll, Ctrl+wheel zooms around the pointer, the
// left button pans, a dropped file is opened. Whatever runs a command runs
// it through the frame, so a disabled command never runs.
#include "KorvexDoc.h"
#include "KorvexView.h"
#include "MainFrame.h"
#include "res/resources.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>

namespace {

// Whether `keys` is bound to a command (table 128 or the extra keys).
bool IsCommandKey(const QKeySequence& keys)
{
    for (const auto* table : {&res::Accelerators(), &res::ExtraAccelerators()})
        for (const res::Accelerator& a : *table)
            if (a.keys == keys)
                return true;
    return false;
}

// The local file a drop carries, as the bytes of its path (percent escapes
// undone by hand, so that a name that is not UTF-8 survives); empty when
// the drop holds no local file.
std::string DroppedPath(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    return {};
}

} // namespace

bool CKorvexView::RunCommand(int id)
{
    return m_pFrame && m_pFrame->ExecuteCommand(id);
}

bool CKorvexView::PictureLargerThanWindow() const
{
    return m_picture.HasImage() && !m_pDocument->m_bFolderEmptied &&
           (horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0);
}

void CKorvexView::UpdatePanCursor()
{
    if (m_bPanning)
        return;
    if (PictureLargerThanWindow())
        viewport()->setCursor(Qt::OpenHandCursor);
    else
        viewport()->unsetCursor();
}

bool CKorvexView::HandleViewKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        // Pages while the picture fits along the key's direction, else
        // scrolls. A picture that failed to load has nothing to scroll: the
        // keys page on past it.
        const QSize client = DeviceViewportSize();
        const bool empty = !m_picture.HasImage();
        const bool fitsWidth = empty || m_layout.displayWidth <= client.width();
        const bool fitsHeight = empty || m_layout.displayHeight <= client.height();
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const bool forward = event->key() == Qt::Key_Right;
            if (fitsWidth)
                RunCommand(forward ? res::ID_NEXT_PICTURE : res::ID_PREV_PICTURE);
            else
                horizontalScrollBar()->triggerAction(forward ? QAbstractSlider::SliderSingleStepAdd
                                                             : QAbstractSlider::SliderSingleStepSub);
            return true;
        }
        case Qt::Key_Space:
        case Qt::Key_Backspace: {
            const bool forward = event->key() == Qt::Key_Space;
            if (fitsHeight)
                RunCommand(forward ? res::ID_NEXT_PICTURE : res::ID_PREV_PICTURE);
            else
                verticalScrollBar()->triggerAction(forward ? QAbstractSlider::SliderPageStepAdd
                                                           : QAbstractSlider::SliderPageStepSub);
            return true;
        }
        default: break;
        }
    }
    // A key bound to a command reaches the view only while the command is
    // disabled: then it does nothing (no scrolling by the scroll area).
    return IsCommandKey(QKeySequence(event->keyCombination()));
}

void CKorvexView::ZoomAround(int command, QPointF at)
{
    const double before = m_fZoom;
    const double x = horizontalScrollBar()->value() + at.x() - m_nOffsetX;
    const double y = verticalScrollBar()->value() + at.y() - m_nOffsetY;
    if (!RunCommand(command) || !(m_fZoom > 0.0f) || !(before > 0.0))
        return;
    // The same picture point under the pointer at the new factor.
    const double scale = double(m_fZoom) / before;
    SetScrollSizes(m_layout.displayWidth, m_layout.displayHeight);
    horizontalScrollBar()->setValue(int(std::lround(x * scale + m_nOffsetX - at.x())));
    verticalScrollBar()->setValue(int(std::lround(y * scale + m_nOffsetY - at.y())));
}

void CKorvexView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    // One zoom step per notch (120 eighths of a degree), finer wheels summed.
    m_nWheelDelta += event->angleDelta().y();
    while (std::abs(m_nWheelDelta) >= 120) {
        const bool in = m_nWheelDelta > 0;
        m_nWheelDelta += in ? -120 : 120;
        ZoomAround(in ? res::ID_ZOOM_IN : res::ID_ZOOM_OUT, event->position() * DevicePixelRatio());
    }
}

void CKorvexView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && PictureLargerThanWindow()) {
        m_bPanning = true;
        m_panStart = event->position();
        m_panScroll = {horizontalScrollBar()->value(), verticalScrollBar()->value()};
        viewport()->setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CKorvexView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bPanning && event->button() == Qt::LeftButton) {
        m_bPanning = false;
        UpdatePanCursor();
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CKorvexView::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void CKorvexView::dragMoveEvent(QDragMoveEvent* event)
{
    m_strDragPath = DroppedPath(event->mimeData());
    if (!m_strDragPath.empty())
        event->acceptProposedAction();
}

void CKorvexView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_strDragPath.clear();
}

void CKorvexView::dropEvent(QDropEvent* event)
{
    std::string path = DroppedPath(event->mimeData());
    if (path.empty())
        path = std::move(m_strDragPath);
    m_strDragPath.clear();
    if (path.empty() || !m_pFrame)
        return;
    event->acceptProposedAction();
    // Opened as Open opens a chosen file, and only when Open may run.
    m_pFrame->UpdateCommandUI();
    if (!m_pFrame->Router().Query(res::ID_FILE_OPEN).m_bEnabled)
        return;
    OpenPath(path);
    m_pFrame->UpdateCommandUI();
    m_pFrame->activateWindow();
}
