// Writes TEXT as a status-bar pane of the viewer draws it (same toolkit, same
// default font, same screen), as a binary PGM on standard output, for the
// end-to-end journeys to compare with what the screen shows.
//     korvex-e2e-text TEXT
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QStatusBar>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvex-e2e-text TEXT\n");
        return 2;
    }
    // A pane's label takes the status bar's font; wider than its text, so
    // that nothing is cut here.
    QStatusBar bar;
    QLabel label(QString::fromUtf8(argv[1]));
    label.setFont(bar.font());
    label.setTextFormat(Qt::PlainText);
    label.setFrameShape(QFrame::Panel);
    label.setFrameShadow(QFrame::Sunken);
    label.resize(label.sizeHint().width() + 40, label.sizeHint().height() + 4);
    const QImage image = label.grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    std::printf("P5\n%d %d\n255\n", image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::fwrite(image.constScanLine(y), 1, size_t(image.width()), stdout);
    return 0;
}
