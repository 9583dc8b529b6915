#include "serial/PickPort.h"

#include "serial/JTComPort.h"
#include "serial/PortList.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
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

    // Key events are watched where they enter the program, at the window,
    // once each, before a button or the list sees them.
    qApp->installEventFilter(this);
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

bool TJTComPort::Pick(QWidget* parent)
{
    const QPointer alive(this);
    const bool savedShowErrors = FShowErrors;
    const std::int32_t savedPort = FPortNumber;

    const QList<int> ports = GetValidSerialPorts();
    if (ports.isEmpty())
        return false;

    TformPickPort dialog(parent);
    FShowErrors = false;
    QStringList refused;
    for (int n : ports) {
        FPortNumber = n;  // stored only; Open closes whatever is open first
        if (Open())
            dialog.listPorts->addItem(ComPortName(n));
        else if (PermissionDenied(FDevicePath))
            refused << ComPortName(n);
    }
    FShowErrors = savedShowErrors;
    FPortNumber = savedPort;

    if (!refused.isEmpty()) {
        Dialogs().MessageDlg(QStringLiteral("%1 cannot be opened: permission denied.\nSerial ports belong to the "
                                            "\"dialout\" group: add your user to it (sudo usermod -aG dialout $USER), "
                                            "then log out and in again.")
                                 .arg(refused.join(QStringLiteral(", "))),
                             QString(), TMsgButton::mbOK, TMsgKind::mkWarning);
        if (!alive)
            return false;
    }

    dialog.listPorts->setCurrentIndex(dialog.listPorts->findText(ComPortName(FPortNumber)));
    FPickPortDlg = &dialog;
    const int result = dialog.exec();
    if (!alive)
        return false;
    FPickPortDlg = nullptr;

    if (result != QDialog::Accepted || dialog.listPorts->currentIndex() < 0)
        return false;
    // Only the number is stored: the caller opens the chosen port.
    FPortNumber = PortNumberOfName(dialog.listPorts->currentText());
    return FPortNumber > 0;
}
