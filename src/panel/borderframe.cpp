#include "panel/borderframe.h"

BorderFrame::BorderFrame(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}
