// The least a Qt Widgets program does to show a picture: a window the size
// of the screen's available area that paints a magenta block in its middle
// and nothing else (no text, no menus). compare.sh times it against feh as
// the floor under the viewer's start-up.
#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace {
class Block : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.fillRect(QRect(width() / 2 - 80, height() / 2 - 60, 160, 120), QColor(255, 0, 255));
    }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Block window;
    window.setGeometry(QApplication::primaryScreen()->availableGeometry());
    window.show();
    return app.exec();
}
