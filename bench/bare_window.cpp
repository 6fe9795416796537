// The baseline of bench_startup: a plain Qt Widgets window of the panel's
// size that reports its first paint the same way the panel does.
#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <cstdio>

class BareWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), QColor(0xF3, 0xF4, 0xF7));
        if (!m_reported) {
            m_reported = true;
            std::fputs("first-paint\n", stdout);
            std::fflush(stdout);
        }
    }
private:
    bool m_reported = false;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareWindow w;
    w.setWindowFlag(Qt::FramelessWindowHint);
    w.resize(800, 560);
    w.show();
    return app.exec();
}
