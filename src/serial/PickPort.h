// "Select Serial Port": the small dialog in which the user chooses one of
// the ports that can be opened (TJTComPort::Pick fills and runs it).
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
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
};
