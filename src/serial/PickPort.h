// "Select Serial Port": the small dialog in which the user chooses one of
// the ports that can be opened (TJTComPort::OpenablePorts finds them). It is
// shown with open() and reports the user's answer with Answered; nothing
// waits for it.
#pragma once

#include <QDialog>
#include <QHash>
#include <QSet>

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QPushButton;

class TformPickPort : public QDialog {
    Q_OBJECT

public:
    explicit TformPickPort(QWidget* parent = nullptr);

    // Lists the ports ("COM" and the number) and selects Preselected when it
    // is among them; otherwise nothing is selected.
    void SetPorts(const QList<int>& ports, int preselected);

    QGroupBox* GroupBox1;
    QComboBox* listPorts;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

signals:
    // The user has answered: OK (Accepted) with the chosen port number, 0
    // when no entry was selected; Cancel, Esc or closing the dialog is not
    // accepted.
    void Answered(bool accepted, int port);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The dialog is asked for by holding Space while the program starts; that
    // key is still down when the dialog appears and must not answer it. Only
    // keys whose press the dialog saw count: the auto-repeats and the release
    // of a key that was already down are dropped until it is pressed anew.
    // KeyWasDownBefore notes each key event and tells whether to drop it.
    bool KeyWasDownBefore(const QKeyEvent& event);
    bool OwnsWindow(const QObject* object) const;
    QSet<quint32> FPressedHere;
    QHash<quint32, quint64> FLastRelease;
};
