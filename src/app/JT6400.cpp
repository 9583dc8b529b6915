#include "JT6400.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("MainForm");
    setWindowTitle("6400 Pulse Generator");
    setFixedSize(622, 710);
}
