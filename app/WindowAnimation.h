// Window animation flags, as the opening and closing tables name them, and
// the edge rectangle a roll, slide or collapse starts from or ends at.
#pragma once

#include <QRect>

constexpr unsigned AW_HOR_POSITIVE = 0x1, AW_HOR_NEGATIVE = 0x2, AW_VER_POSITIVE = 0x4, AW_VER_NEGATIVE = 0x8,
                   AW_CENTER = 0x10, AW_HIDE = 0x10000, AW_ACTIVATE = 0x20000, AW_SLIDE = 0x40000,
                   AW_BLEND = 0x80000;

// Where a window of geometry `full` is when it is out of sight for `flags`:
// collapsed to its centre, rolled up towards one edge, or slid off by its
// own size.
inline QRect AnimationEdgeRect(unsigned flags, const QRect& full)
{
    QRect edge = full;
    if (flags & AW_CENTER)
        edge = QRect(full.center(), QSize(1, 1));
    if (flags & AW_HOR_POSITIVE)
        edge.setWidth(1);
    if (flags & AW_HOR_NEGATIVE)
        edge.setLeft(full.right());
    if (flags & AW_VER_POSITIVE)
        edge.setHeight(1);
    if (flags & AW_VER_NEGATIVE)
        edge.setTop(full.bottom());
    if (flags & AW_SLIDE) {
        edge = full;
        edge.translate((flags & AW_HOR_POSITIVE) ? -full.width() : (flags & AW_HOR_NEGATIVE) ? full.width() : 0,
                       (flags & AW_VER_POSITIVE) ? -full.height() : (flags & AW_VER_NEGATIVE) ? full.height() : 0);
    }
    return edge;
}
