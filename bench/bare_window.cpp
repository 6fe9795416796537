// The baseline of bench_startup: a plain Qt Widgets window of the panel's
// size that reports its first paint the same way the panel does. With
// --text it also draws one word, and so pays what the first text of any
// program costs (the font configuration, the font list, one face).
#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <cstdio>

class BareWindow : public QWidget {
public:
    explicit BareWindow(bool withText) : m_withText(withText) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xF3, 0xF4, 0xF7));
        if (m_withText)
            painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Quillory"));
        if (!m_reported) {
            m_reported = true;
            std::fputs("first-paint\n", stdout);
            std::fflush(stdout);
        }
    }
private:
    const bool m_withText;
    bool m_reported = false;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BareWindow w(QCoreApplication::arguments().contains(QStringLiteral("--text")));
    w.setWindowFlag(Qt::FramelessWindowHint);
    w.resize(800, 560);
    w.show();
    return app.exec();
}
