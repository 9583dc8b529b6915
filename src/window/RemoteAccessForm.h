// The Remote Access window (Tools > Remote Access): turns the network server
// on and off, and shows where it listens, the connected clients and the last
// commands they sent. It only shows what it is told and asks for changes
// with signals; the program runs the server.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

class TRemoteAccessForm : public QWidget {
    Q_OBJECT
public:
    // How many of the last commands the window keeps.
    static constexpr int kCommandsShown = 100;

    explicit TRemoteAccessForm(QWidget* parent = nullptr);

    // The server listens at Endpoint ("127.0.0.1:5025") / does not listen,
    // with the reason when it could not start.
    void ShowListening(const QString& endpoint);
    void ShowOff(const QString& reason = QString());
    // The address and port the next start uses.
    void SetAddress(const QString& address, int port);
    // The connected clients ("127.0.0.1:50412"), the one that holds the lock
    // marked.
    void SetClients(const QStringList& clients, const QString& lockHolder = QString());
    void AddCommand(const QString& client, const QString& line, const QString& answer);

    QCheckBox* OnBox = nullptr;
    QLineEdit* AddressEdit = nullptr;
    QSpinBox* PortEdit = nullptr;
    QLabel* StateLbl = nullptr;
    QLabel* WarningLbl = nullptr;
    QListWidget* ClientList = nullptr;
    QPushButton* DisconnectBtn = nullptr;
    QListWidget* CommandList = nullptr;

signals:
    // The user turned the server on (at Address:Port) or off.
    void TurnOn(const QString& address, int port);
    void TurnOff();
    // The user asked to close the connection of Client.
    void DisconnectClient(const QString& client);

private:
    void ShowWarning();
    void Toggled(bool on);
    bool FShowing = false;  // the program sets the tick, not the user
};
