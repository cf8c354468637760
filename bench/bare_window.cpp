// The baseline for start-up figures: a bare Qt window of the bus window's size that paints one
// colour, and with --text-window, beside it, a small always-on-top tool window with one line of
// Japanese text, as the bus shows its control desk. Without the text window it shows what a Qt
// window alone costs.
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QWidget>

#include <cstring>
#include <memory>

class Bare : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(10, 200, 30)); }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::unique_ptr<QLabel> text;
    if (argc > 1 && std::strcmp(argv[1], "--text-window") == 0) {
        text = std::make_unique<QLabel>(QStringLiteral("前扉　中扉　中扉動作　方向幕フォルダー"), nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPixelSize(12);
        text->setFont(font);
        text->setFixedSize(263, 171);
        text->move(0, 260);
        text->show();
    }
    Bare w;
    w.setWindowTitle(QStringLiteral("bare"));
    w.setFixedSize(807, 225);
    w.show();
    return app.exec();
}
