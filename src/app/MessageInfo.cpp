#include "MessageInfo.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

TMessageForm::TMessageForm(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setObjectName("MessageForm");
    setWindowTitle("Message");
    setFixedSize(326, 100);
    MessageLabel = new QLabel("Loading. Please wait...", this);
    MessageLabel->setObjectName("MessageLabel");
    MessageLabel->setGeometry(2, 30, 320, 39);
    MessageLabel->setAlignment(Qt::AlignCenter);
    QFont f = MessageLabel->font();
    f.setFamilies({"Tahoma", "DejaVu Sans", "Liberation Sans"});
    f.setPixelSize(32);
    MessageLabel->setFont(f);
}

void TMessageForm::ShowNow()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    repaint();
}
