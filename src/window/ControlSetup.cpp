// Set-up of the period, delay and width controls and of the channel pages
// for the connected model, from the capability table.
#include "window/MainForm.h"

#include <QGroupBox>
#include <QTabWidget>

#include "model/SettingsSnapshot.h"
#include "widgets/PlusSpinEdit.h"

// A value that new steps or limits change is no edit of the user's either.
void TMainForm::SetResolution(const TSettingsSnapshot& snapshot)
{
    const TShowing showing(*this);
    const TVariantValues v = snapshot.Variant();
    PeriodAdj->setIncrement(v.PeriodIncrement);
    for (int n = 1; n <= 8; ++n) {
        ChannelControls.ChWidthAdj[n]->setIncrement(v.WidthIncrement);
        ChannelControls.ChDelayAdj[n]->setIncrement(v.DelayIncrement[n]);
    }
    PeriodAdj->setDecimals(v.PeriodDecimals);
    PeriodAdj->setMinValue(v.PeriodMinimum);
    for (int n = 1; n <= 8; ++n) {
        ChannelControls.ChDelayAdj[n]->setDecimals(v.DelayDecimals[n]);
        ChannelControls.ChWidthAdj[n]->setDecimals(v.WidthDecimals);
    }
}

void TMainForm::SetRanges(const TSettingsSnapshot& snapshot)
{
    const TShowing showing(*this);
    const TVariantValues v = snapshot.Variant();
    const int channels = std::clamp(snapshot.ChannelCount, 0, 8);
    PeriodAdj->setMaxValue(v.PeriodMaximum);
    for (int n = 1; n <= channels; ++n) {
        ChannelControls.ChDelayAdj[n]->setMaxValue(v.DelayMaximum);
        ChannelControls.ChDelayAdj[n]->setMinValue(v.DelayMinimum);
        ChannelControls.ChWidthAdj[n]->setMaxValue(v.WidthMaximum);
        if (v.WidthMinimumChanged)
            ChannelControls.ChWidthAdj[n]->setMinValue(v.WidthMinimum);
    }
}

// Pages A and B are always shown; the model decides the others, the
// captions of its virtual pages and the groups those pages lack.
void TMainForm::ShowChannelPages(const QString& model)
{
    QTabWidget* pages = ChPageControl;
    const int shown = ModelInfo(model).PagesShown;
    for (int n = 3; n <= kMaxChannel; ++n) {
        pages->setTabEnabled(n - 1, n <= shown);
        pages->setTabVisible(n - 1, n <= shown);
        if (n > shown || !IsVirtualChannel(model, n))
            continue;
        pages->setTabText(n - 1, VirtualPageCaption(model, n));
        for (const char* base : {"ChAmplitudeAdjGrp", "ChPolarityGrp", "ChMuxGrp", "ChMuxGateGrp"})
            if (auto* g = findChild<QGroupBox*>(QLatin1String(base) + QString::number(n)))
                g->hide();
    }
}
