// Demonstration window of the numeric spin-edit control: four typical
// settings and one control whose own Enabled flag is off.
#include "widgets/PlusSpinEdit.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>

namespace {

struct Setting {
    const char* name;
    const char* caption;
    int decimals;
    double increment;
    double max;
    double min;
    double value;
    QChar separator;
};

// Assigns the values in the order a form description does, before any
// handler is connected.
TPlusSpinEdit* MakeSpin(QWidget* parent, const Setting& s)
{
    auto* spin = new TPlusSpinEdit(parent);
    spin->setObjectName(QString::fromLatin1(s.name));
    spin->setAutoSize(true);
    spin->setBorderStyle(TSpinBorderStyle::bsSingle);
    spin->setDecimals(s.decimals);
    spin->setIncrement(s.increment);
    spin->setMaxValue(s.max);
    spin->setMinValue(s.min);
    spin->setValue(s.value);
    spin->setThousandSeparator(s.separator);
    return spin;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("jt6400 spin edit demo"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("TPlusSpinEdit"));
    auto* grid = new QGridLayout(&window);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);

    const Setting settings[] = {
        {"PeriodAdj", "Period (s)", 9, 1e-08, 1000, 2e-07, 1000, QLatin1Char(',')},
        {"ChDelayAdj1", "Delay (s)", 12, 1e-08, 1000, -1000, 1.5e-06, QLatin1Char(',')},
        {"ChAmplitudeAdj2", "Amplitude (V)", 2, 0.01, 5, 3.3, 5, QChar()},
        {"SysBurstAdj", "Burst Count", 0, 1, 4000000000.0, 1, 4000000000.0, QLatin1Char(',')},
        {"ChWidthAdj3", "Width (s), disabled", 9, 1e-08, 1000, 1e-08, 2e-07, QLatin1Char(',')},
    };
    TPlusSpinEdit* first = nullptr;
    int row = 0;
    for (const Setting& s : settings) {
        TPlusSpinEdit* spin = MakeSpin(&window, s);
        if (!first)
            first = spin;
        grid->addWidget(new QLabel(QString::fromLatin1(s.caption), &window), row, 0);
        grid->addWidget(spin, row, 1, Qt::AlignLeft);
        ++row;
    }
    auto* disabled = window.findChild<TPlusSpinEdit*>(QStringLiteral("ChWidthAdj3"));
    disabled->SetEnabled(false);

    auto* status = new QLabel(&window);
    grid->addWidget(status, row, 0, 1, 2);
    for (TPlusSpinEdit* spin : window.findChildren<TPlusSpinEdit*>()) {
        QObject::connect(spin, &TPlusSpinEdit::OnChange, status, [status](TPlusSpinEdit* sender) {
            status->setText(QStringLiteral("%1 = %2").arg(sender->objectName(), sender->Text()));
        });
    }
    grid->setRowStretch(row + 1, 1);

    window.move(20, 20);
    window.show();
    window.activateWindow();  // also without a window manager (e.g. under Xvfb)
    first->setFocus();
    return app.exec();
}
