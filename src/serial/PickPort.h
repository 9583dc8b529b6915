// "Select Serial Port": the small dialog in which the user chooses one of
// the ports that can be opened (TJTComPort::Pick fills and runs it).
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

    QGroupBox* GroupBox1;
    QComboBox* listPorts;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

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
