// A drag source from another program: a small window at X,Y that, when the
// left button is pressed on it, drags FILE as a file URL (as a file manager
// does), and exits a little after the drop, printing what the target did.
//     korvex-e2e-drag FILE X Y
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class Source : public QWidget {
public:
    explicit Source(QString path) : m_path(std::move(path)) { setWindowTitle("korvex-e2e-drag"); }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_path)});
        QDrag drag(this);
        drag.setMimeData(data);
        const Qt::DropAction done = drag.exec(Qt::CopyAction | Qt::LinkAction);
        std::printf("%s\n", done == Qt::IgnoreAction ? "refused" : "dropped");
        std::fflush(stdout);
        // The target asks for the data after the drop: stay to answer.
        QTimer::singleShot(3000, qApp, &QApplication::quit);
    }

private:
    QString m_path;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: korvex-e2e-drag FILE X Y\n");
        return 2;
    }
    Source source(QString::fromLocal8Bit(argv[1]));
    source.setGeometry(QString(argv[2]).toInt(), QString(argv[3]).toInt(), 120, 80);
    source.show();
    return app.exec();
}
