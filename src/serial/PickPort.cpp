#include "serial/PickPort.h"

#include "serial/PortList.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

TformPickPort::TformPickPort(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("formPickPort"));
    setWindowTitle(QStringLiteral("Select Serial Port"));
    setFixedSize(240, 93);
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    formFont.setBold(true);
    setFont(formFont);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::ButtonText, Qt::black);
    setPalette(pal);

    GroupBox1 = new QGroupBox(QStringLiteral("Serial Port"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 130, 67);
    QFont groupFont = formFont;
    groupFont.setPixelSize(13);
    groupFont.setBold(false);
    GroupBox1->setFont(groupFont);

    listPorts = new QComboBox(GroupBox1);
    listPorts->setObjectName(QStringLiteral("listPorts"));
    listPorts->setEditable(false);
    listPorts->setGeometry(11, 25, 108, listPorts->sizeHint().height());

    OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(149, 14, 77, 27);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(149, 46, 77, 27);
    // Esc closes a QDialog with reject, the same as this button.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    connect(this, &QDialog::finished, this, [this](int result) {
        const bool accepted = result == QDialog::Accepted;
        emit Answered(accepted, accepted && listPorts->currentIndex() >= 0
                                    ? PortNumberOfName(listPorts->currentText())
                                    : 0);
    });

    // Key events are watched where they enter the program, at the window,
    // once each, before a button or the list sees them.
    qApp->installEventFilter(this);
}

void TformPickPort::SetPorts(const QList<int>& ports, int preselected)
{
    listPorts->clear();
    for (int n : ports)
        listPorts->addItem(ComPortName(n));
    listPorts->setCurrentIndex(listPorts->findText(ComPortName(preselected)));
}

void TformPickPort::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    OKBtn->setFocus();
}

bool TformPickPort::OwnsWindow(const QObject* object) const
{
    const auto* window = qobject_cast<const QWindow*>(object);
    // The port list's popup is a window of its own, opened from this one.
    while (window && window->transientParent())
        window = window->transientParent();
    return window && window == windowHandle();
}

bool TformPickPort::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && OwnsWindow(watched))
        return KeyWasDownBefore(static_cast<const QKeyEvent&>(*event));
    return QDialog::eventFilter(watched, event);
}

bool TformPickPort::KeyWasDownBefore(const QKeyEvent& event)
{
    const quint32 key = event.nativeScanCode() ? event.nativeScanCode() : static_cast<quint32>(event.key());
    if (event.type() == QEvent::KeyRelease) {
        FLastRelease.insert(key, event.timestamp());
        if (event.isAutoRepeat())
            return !FPressedHere.contains(key);
        return !FPressedHere.remove(key);
    }
    // An auto-repeat comes as a release and a press with the same time stamp;
    // the toolkit marks it only when it sees both at once.
    const auto released = FLastRelease.constFind(key);
    const bool repeat = event.isAutoRepeat() || (released != FLastRelease.cend() && *released == event.timestamp());
    if (!repeat)
        FPressedHere.insert(key);
    return !FPressedHere.contains(key);
}

