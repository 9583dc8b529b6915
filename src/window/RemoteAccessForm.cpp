#include "window/RemoteAccessForm.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TRemoteAccessForm::TRemoteAccessForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("RemoteAccessForm"));
    setWindowTitle(QStringLiteral("Remote Access"));

    auto* layout = new QVBoxLayout(this);
    OnBox = new QCheckBox(QStringLiteral("Serve the generator on the network (SCPI over TCP)"), this);
    OnBox->setObjectName(QStringLiteral("RemoteOn"));
    layout->addWidget(OnBox);

    auto* form = new QFormLayout;
    AddressEdit = new QLineEdit(QStringLiteral("127.0.0.1"), this);
    AddressEdit->setObjectName(QStringLiteral("RemoteAddress"));
    AddressEdit->setToolTip(QStringLiteral("127.0.0.1: this computer only. 0.0.0.0: every network of this computer."));
    form->addRow(QStringLiteral("Address:"), AddressEdit);
    PortEdit = new QSpinBox(this);
    PortEdit->setObjectName(QStringLiteral("RemotePort"));
    PortEdit->setRange(1, 65535);
    PortEdit->setValue(5025);
    form->addRow(QStringLiteral("Port:"), PortEdit);
    StateLbl = new QLabel(this);
    StateLbl->setObjectName(QStringLiteral("RemoteState"));
    StateLbl->setWordWrap(true);
    form->addRow(QStringLiteral("State:"), StateLbl);
    layout->addLayout(form);

    WarningLbl = new QLabel(
        QStringLiteral("Everyone who reaches this address can control the generator. Limit the clients with "
                       "--remote-allow."),
        this);
    WarningLbl->setObjectName(QStringLiteral("RemoteWarning"));
    WarningLbl->setWordWrap(true);
    WarningLbl->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(WarningLbl);

    layout->addWidget(new QLabel(QStringLiteral("Connected clients:"), this));
    ClientList = new QListWidget(this);
    ClientList->setObjectName(QStringLiteral("RemoteClients"));
    ClientList->setMaximumHeight(110);
    layout->addWidget(ClientList);
    auto* clientButtons = new QHBoxLayout;
    clientButtons->addStretch();
    DisconnectBtn = new QPushButton(QStringLiteral("Disconnect"), this);
    DisconnectBtn->setObjectName(QStringLiteral("RemoteDisconnect"));
    DisconnectBtn->setToolTip(QStringLiteral("Close the connection of the selected client"));
    DisconnectBtn->setEnabled(false);
    clientButtons->addWidget(DisconnectBtn);
    layout->addLayout(clientButtons);
    layout->addWidget(new QLabel(QStringLiteral("Last commands:"), this));
    CommandList = new QListWidget(this);
    CommandList->setObjectName(QStringLiteral("RemoteCommands"));
    layout->addWidget(CommandList);
    resize(460, 420);

    connect(OnBox, &QCheckBox::toggled, this, &TRemoteAccessForm::Toggled);
    connect(ClientList, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) { DisconnectBtn->setEnabled(item != nullptr); });
    connect(DisconnectBtn, &QPushButton::clicked, this, [this] {
        if (const QListWidgetItem* item = ClientList->currentItem())
            emit DisconnectClient(item->data(Qt::UserRole).toString());
    });
    connect(AddressEdit, &QLineEdit::textChanged, this, &TRemoteAccessForm::ShowWarning);
    ShowOff();
}

void TRemoteAccessForm::Toggled(bool on)
{
    if (FShowing)
        return;
    if (on)
        emit TurnOn(AddressEdit->text().trimmed(), PortEdit->value());
    else
        emit TurnOff();
}

void TRemoteAccessForm::ShowWarning()
{
    // The loopback addresses reach this computer only.
    const QString address = AddressEdit->text().trimmed();
    const bool loopback = address.startsWith(QLatin1String("127.")) || address == QLatin1String("::1") ||
                          address == QLatin1String("[::1]");
    WarningLbl->setVisible(!loopback);
}

void TRemoteAccessForm::ShowListening(const QString& endpoint)
{
    FShowing = true;
    OnBox->setChecked(true);
    FShowing = false;
    AddressEdit->setEnabled(false);
    PortEdit->setEnabled(false);
    StateLbl->setText(QStringLiteral("Listening on %1").arg(endpoint));
    ShowWarning();
}

void TRemoteAccessForm::ShowOff(const QString& reason)
{
    FShowing = true;
    OnBox->setChecked(false);
    FShowing = false;
    AddressEdit->setEnabled(true);
    PortEdit->setEnabled(true);
    StateLbl->setText(reason.isEmpty() ? QStringLiteral("Off") : QStringLiteral("Off: %1").arg(reason));
    ClientList->clear();
    ShowWarning();
}

void TRemoteAccessForm::SetAddress(const QString& address, int port)
{
    AddressEdit->setText(address);
    PortEdit->setValue(port);
}

void TRemoteAccessForm::SetClients(const QStringList& clients, const QString& lockHolder)
{
    const QListWidgetItem* selected = ClientList->currentItem();
    const QString current = selected ? selected->data(Qt::UserRole).toString() : QString();
    ClientList->clear();
    for (const QString& client : clients) {
        auto* item = new QListWidgetItem(
            client == lockHolder ? QStringLiteral("%1 (holds the lock)").arg(client) : client, ClientList);
        item->setData(Qt::UserRole, client);
        if (client == current)
            ClientList->setCurrentItem(item);
    }
    DisconnectBtn->setEnabled(ClientList->currentItem() != nullptr);
}

void TRemoteAccessForm::AddCommand(const QString& client, const QString& line, const QString& answer)
{
    CommandList->addItem(QStringLiteral("[%1] %2  ->  %3").arg(client, line, answer));
    while (CommandList->count() > kCommandsShown)
        delete CommandList->takeItem(0);
    CommandList->scrollToBottom();
}
