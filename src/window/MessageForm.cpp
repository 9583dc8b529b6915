#include "window/MessageForm.h"

#include <QApplication>
#include <QScreen>

TMessageForm::TMessageForm(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setObjectName("MessageForm");
    setWindowTitle("Message");
    setFixedSize(326, 100);
    setFont(PanelFont(11));
    MessageLabel = new TFitLabel("Loading. Please wait...", 32, {2, 30, 320, 39}, this);
    MessageLabel->setObjectName("MessageLabel");
    MessageLabel->setAlignment(Qt::AlignCenter);
}

void TMessageForm::ShowNow(const QString& text)
{
    if (!text.isEmpty())
        MessageLabel->SetCaption(text);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    repaint();
}
