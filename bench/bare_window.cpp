// The baseline for start-up figures: a bare Qt window of the bus window's size that paints one
// colour, and nothing else.
#include <QApplication>
#include <QPainter>
#include <QWidget>

class Bare : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(10, 200, 30)); }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Bare w;
    w.setWindowTitle(QStringLiteral("bare"));
    w.setFixedSize(807, 225);
    w.show();
    return app.exec();
}
