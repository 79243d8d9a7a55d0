#include "artwork.h"

#include "resources.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace res {

namespace {

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 90, 200);
const QColor kRed(200, 40, 40);
const QColor kGreen(30, 150, 60);
const QColor kGold(230, 170, 20);

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& c)
{
    p.setPen(QPen(c, 1.6));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::max(1.0, std::hypot(d.x(), d.y()));
    const QPointF u(d.x() / len, d.y() / len), n(-u.y(), u.x());
    QPolygonF head;
    head << to << to - u * 3.5 + n * 2.5 << to - u * 3.5 - n * 2.5;
    p.setBrush(c);
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

void Magnifier(QPainter& p, bool plus)
{
    p.setPen(QPen(kInk, 1.4));
    p.drawEllipse(QRectF(2, 1.5, 9, 9));
    p.setPen(QPen(kInk, 2.2));
    p.drawLine(QPointF(10, 10), QPointF(15, 14));
    p.setPen(QPen(kBlue, 1.4));
    p.drawLine(QPointF(4.5, 6), QPointF(8.5, 6));
    if (plus)
        p.drawLine(QPointF(6.5, 4), QPointF(6.5, 8));
}

void Frame(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(235, 240, 250));
    p.drawRect(QRectF(2.5, 2.5, 13, 10));
    p.setBrush(Qt::NoBrush);
}

void Rotation(QPainter& p, bool clockwise, bool half)
{
    p.setPen(QPen(kBlue, 1.6));
    const QRectF r(3, 2, 11, 11);
    const int span = half ? 180 * 16 : 270 * 16;
    p.drawArc(r, 90 * 16, clockwise ? -span : span);
    const double endAngle = (90.0 + (clockwise ? -1 : 1) * span / 16.0) * M_PI / 180.0;
    const QPointF end(8.5 + 5.5 * std::cos(endAngle), 7.5 - 5.5 * std::sin(endAngle));
    p.setBrush(kBlue);
    p.drawEllipse(end, 1.8, 1.8);
    p.setBrush(Qt::NoBrush);
    if (half) {
        p.setPen(kInk);
        QFont f = p.font();
        f.setPixelSize(6);
        p.setFont(f);
        p.drawText(QRectF(0, 9, 18, 6), Qt::AlignCenter, QStringLiteral("180"));
    }
}

// Entry effects: a frame with an arrow coming in from a side or corner.
void Entry(QPainter& p, QPointF from, QPointF to)
{
    Frame(p);
    Arrow(p, from, to, kGreen);
}

void Stripes(QPainter& p, bool horizontal, const QColor& c)
{
    Frame(p);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int i = 0; i < 3; ++i) {
        if (horizontal)
            p.drawRect(QRectF(3, 3.5 + 3 * i, 12, 1.6));
        else
            p.drawRect(QRectF(4 + 4 * i, 3, 1.6, 9));
    }
}

void Checker(QPainter& p, const QColor& a, const QColor& b)
{
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            p.setPen(Qt::NoPen);
            p.setBrush((x + y) % 2 ? a : b);
            p.drawRect(QRectF(2 + 3.5 * x, 2 + 3.6 * y, 3.5, 3.6));
        }
}

void Scan(QPainter& p, bool down)
{
    Frame(p);
    p.setPen(QPen(QColor(150, 170, 210), 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(4, 4.5 + 2 * i), QPointF(14, 4.5 + 2 * i));
    Arrow(p, QPointF(9, down ? 3 : 12), QPointF(9, down ? 12 : 3), kRed);
}

void Text(QPainter& p, const QString& text, const QColor& c, int px)
{
    QFont f = p.font();
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRectF(0, 0, 18, 15), Qt::AlignCenter, text);
}

} // namespace

QPixmap ToolbarImage(int command, int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width / 18.0, height / 15.0);
    switch (command) {
    case ID_FILE_OPEN: {
        p.setPen(kInk);
        p.setBrush(kGold);
        QPolygonF folder;
        folder << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(15.5, 5) << QPointF(15.5, 12.5)
               << QPointF(1.5, 12.5);
        p.drawPolygon(folder);
        p.setBrush(QColor(250, 210, 90));
        QPolygonF flap;
        flap << QPointF(3.5, 7.5) << QPointF(17, 7.5) << QPointF(15.5, 12.5) << QPointF(1.5, 12.5);
        p.drawPolygon(flap);
        break;
    }
    case ID_FILE_PRINT:
        p.setPen(kInk);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 1.5, 8, 5));
        p.setBrush(QColor(160, 160, 170));
        p.drawRect(QRectF(2, 6.5, 14, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 10, 8, 3.5));
        p.setPen(kGreen);
        p.drawPoint(QPointF(14, 8));
        break;
    case ID_FILE_SAVE:
        p.setPen(kInk);
        p.setBrush(kBlue);
        p.drawRect(QRectF(2.5, 1.5, 12, 12));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 1.5, 7, 4.5));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(5, 8.5, 7, 5));
        break;
    case ID_ZOOM_IN: Magnifier(p, true); break;
    case ID_ZOOM_OUT: Magnifier(p, false); break;
    case ID_ZOOM_FIT:
        Frame(p);
        Arrow(p, QPointF(9, 7.5), QPointF(4, 4), kBlue);
        Arrow(p, QPointF(9, 7.5), QPointF(14, 11), kBlue);
        break;
    case ID_ZOOM_ORIGINAL: Text(p, QStringLiteral("1:1"), kInk, 8); break;
    case ID_ROTATE_CW: Rotation(p, true, false); break;
    case ID_ROTATE_CCW: Rotation(p, false, false); break;
    case ID_PREV_PICTURE:
    case ID_NEXT_PICTURE: {
        const bool next = command == ID_NEXT_PICTURE;
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        QPolygonF t;
        if (next)
            t << QPointF(5, 2) << QPointF(14, 7.5) << QPointF(5, 13);
        else
            t << QPointF(13, 2) << QPointF(4, 7.5) << QPointF(13, 13);
        p.drawPolygon(t);
        break;
    }
    case ID_FULL_SCREEN:
        p.setPen(QPen(kInk, 1.6));
        p.drawPolyline(QPolygonF() << QPointF(2, 6) << QPointF(2, 2) << QPointF(6, 2));
        p.drawPolyline(QPolygonF() << QPointF(12, 2) << QPointF(16, 2) << QPointF(16, 6));
        p.drawPolyline(QPolygonF() << QPointF(2, 9) << QPointF(2, 13) << QPointF(6, 13));
        p.drawPolyline(QPolygonF() << QPointF(12, 13) << QPointF(16, 13) << QPointF(16, 9));
        p.fillRect(QRectF(6, 5, 6, 5), kBlue);
        break;
    case ID_DELETE:
        p.setPen(QPen(kRed, 2.4));
        p.drawLine(QPointF(4, 3), QPointF(14, 12));
        p.drawLine(QPointF(14, 3), QPointF(4, 12));
        break;
    case ID_OPEN_PAINT:
        p.setPen(QPen(QColor(140, 90, 40), 2));
        p.drawLine(QPointF(15, 1.5), QPointF(7, 9.5));
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QRectF(2.5, 8.5, 6, 5));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(11, 10, 4, 3));
        break;
    case ID_OPEN_DEFAULT:
        p.setPen(kInk);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 11, 9));
        p.fillRect(QRectF(2, 2, 10, 2), kBlue);
        Arrow(p, QPointF(8, 8), QPointF(16, 14), kGreen);
        break;
    case ID_SHOW_HORIZONTAL_BLINDS: Stripes(p, true, kInk); break;
    case ID_SHOW_VERTICAL_BLINDS: Stripes(p, false, kInk); break;
    case ID_SHOW_MOSAIC: Checker(p, kInk, QColor(220, 220, 220)); break;
    case ID_SHOW_SCAN_DOWN: Scan(p, true); break;
    case ID_SHOW_SCAN_UP: Scan(p, false); break;
    case ID_EFFECT_ON: {
        p.setPen(QPen(QColor(150, 100, 0), 1));
        p.setBrush(kGold);
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double a = -M_PI / 2 + i * M_PI / 5;
            const double r = i % 2 ? 2.8 : 6.5;
            star << QPointF(9 + r * std::cos(a), 7.8 + r * std::sin(a));
        }
        p.drawPolygon(star);
        break;
    }
    case ID_EFFECT_RANDOM:
        p.setPen(kInk);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3, 1.5, 12, 12), 2, 2);
        p.setBrush(kInk);
        for (QPointF d : {QPointF(6, 4.5), QPointF(9, 7.5), QPointF(12, 10.5), QPointF(12, 4.5), QPointF(6, 10.5)})
            p.drawEllipse(d, 1.1, 1.1);
        break;
    case ID_EFFECT_MOSAIC: Checker(p, kBlue, kGold); break;
    case ID_EFFECT_BLINDS: Stripes(p, true, kBlue); break;
    case ID_EFFECT_FROM_TOP: Entry(p, QPointF(9, 0.5), QPointF(9, 9)); break;
    case ID_EFFECT_FROM_BOTTOM: Entry(p, QPointF(9, 14.5), QPointF(9, 6)); break;
    case ID_EFFECT_FROM_LEFT: Entry(p, QPointF(0.5, 7.5), QPointF(10, 7.5)); break;
    case ID_EFFECT_FROM_RIGHT: Entry(p, QPointF(17.5, 7.5), QPointF(8, 7.5)); break;
    case ID_EFFECT_FROM_TOP_LEFT: Entry(p, QPointF(0.5, 0.5), QPointF(10, 9)); break;
    case ID_EFFECT_FROM_BOTTOM_LEFT: Entry(p, QPointF(0.5, 14.5), QPointF(10, 6)); break;
    case ID_EFFECT_FROM_TOP_RIGHT: Entry(p, QPointF(17.5, 0.5), QPointF(8, 9)); break;
    case ID_EFFECT_FROM_BOTTOM_RIGHT: Entry(p, QPointF(17.5, 14.5), QPointF(8, 6)); break;
    case ID_APP_ABOUT:
        p.setPen(QPen(kBlue, 1.4));
        p.setBrush(QColor(220, 232, 255));
        p.drawEllipse(QRectF(2.5, 1, 13, 13));
        Text(p, QStringLiteral("?"), kBlue, 10);
        break;
    case ID_SLIDE_START: {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF() << QPointF(5, 2) << QPointF(15, 7.5) << QPointF(5, 13));
        break;
    }
    case ID_SLIDE_STOP: p.fillRect(QRectF(4, 3, 10, 9), kRed); break;
    default: Text(p, QString::number(command % 100), kInk, 7); break;
    }
    return pixmap;
}

namespace {

class LazyToolbarIcon : public QIconEngine {
public:
    LazyToolbarIcon(int command, QSize size) : m_command(command), m_size(size) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Drawn().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Drawn().pixmap(size, mode, state);
    }
    // Layouts ask for the size before anything is shown: no drawing for that.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return m_size.width() <= size.width() && m_size.height() <= size.height()
                   ? m_size
                   : m_size.scaled(size, Qt::KeepAspectRatio);
    }
    QIconEngine* clone() const override { return new LazyToolbarIcon(*this); }

private:
    const QIcon& Drawn()
    {
        if (m_icon.isNull())
            m_icon = QIcon(ToolbarImage(m_command, m_size.width(), m_size.height()));
        return m_icon;
    }
    int m_command;
    QSize m_size;
    QIcon m_icon;
};

} // namespace

QIcon ToolbarIcon(int command, int width, int height)
{
    return QIcon(new LazyToolbarIcon(command, QSize(width, height)));
}

QPixmap AppIcon(int size)
{
    return QPixmap::fromImage(AppIconImage(size));
}

QImage AppIconImage(int size)
{
    QImage pixmap(size, size, QImage::Format_ARGB32_Premultiplied);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(QPen(QColor(40, 60, 110), 2));
    p.setBrush(QColor(235, 242, 255));
    p.drawRoundedRect(QRectF(4, 7, 40, 34), 4, 4);
    QLinearGradient sky(0, 9, 0, 30);
    sky.setColorAt(0, QColor(90, 150, 230));
    sky.setColorAt(1, QColor(190, 220, 250));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(QRectF(7, 10, 34, 28));
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(QRectF(29, 13, 8, 8));
    p.setBrush(QColor(40, 130, 70));
    p.drawPolygon(QPolygonF() << QPointF(7, 38) << QPointF(19, 20) << QPointF(28, 31) << QPointF(33, 26)
                              << QPointF(41, 38));
    p.end();
    return pixmap;
}

} // namespace res
