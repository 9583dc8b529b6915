// Set-up of the period, delay and width controls for the connected model,
// from the capability table's values for its variant.
#include "app/MainForm.h"

#include "model/SettingsSnapshot.h"
#include "widgets/PlusSpinEdit.h"

void TMainForm::SetResolution(const TSettingsSnapshot& snapshot)
{
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
