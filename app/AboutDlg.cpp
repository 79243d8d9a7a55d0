#include "AboutDlg.h"

#include "res/artwork.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dialog100"));
    setWindowTitle(QStringLiteral("关于 Tobble"));
    setModal(true);
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    setFont(font);
    setFixedSize(DialogUnitsX(235), DialogUnitsY(55));

    auto place = [](QWidget* w, int x, int y, int cx, int cy) {
        w->setGeometry(DialogUnitsX(x), DialogUnitsY(y), DialogUnitsX(cx), DialogUnitsY(cy));
    };
    auto* icon = new QLabel(this);
    icon->setPixmap(res::AppIcon(DialogUnitsX(20)));
    place(icon, 11, 17, 20, 20);
    auto* version = new QLabel(QStringLiteral("Tobble 1.0 版"), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextFormat(Qt::PlainText);
    place(version, 40, 10, 119, 12);
    auto* blank = new QLabel(QStringLiteral("    "), this);
    place(blank, 128, 33, 98, 10);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    place(ok, 178, 7, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
