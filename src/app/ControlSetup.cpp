// Set-up of the period, delay and width controls for the connected model.
#include "JT6400.h"

#include "ProgramState.h"
#include "plussped.h"

void TMainForm::SetResolution(const TProgramState& state)
{
    const double step = state.TimingResolution;
    const int standardChannels = state.StandardChannelCount();
    auto fineDelay = [&](int n) { return state.HighResolution && n <= standardChannels; };

    PeriodAdj->setIncrement(step);
    for (int n = 1; n <= 8; ++n) {
        ChannelControls.ChWidthAdj[n]->setIncrement(step);
        ChannelControls.ChDelayAdj[n]->setIncrement(fineDelay(n) ? 5e-12 : step);
    }
    if (state.PlusOption || state.HighResolution) {
        PeriodAdj->setDecimals(9);
        PeriodAdj->setMinValue(state.HighResolution ? 4e-8 : 5e-8);
        for (int n = 1; n <= 8; ++n) {
            ChannelControls.ChDelayAdj[n]->setDecimals(fineDelay(n) ? 12 : 9);
            ChannelControls.ChWidthAdj[n]->setDecimals(9);
        }
    } else {
        PeriodAdj->setDecimals(8);
        PeriodAdj->setMinValue(2e-7);
        for (int n = 1; n <= 8; ++n) {
            ChannelControls.ChDelayAdj[n]->setDecimals(8);
            ChannelControls.ChWidthAdj[n]->setDecimals(8);
        }
    }
}

void TMainForm::SetRanges(const TProgramState& state)
{
    const int channels = std::clamp(state.ChannelCount, 0, 8);
    if (state.HighResolution) {
        PeriodAdj->setMaxValue(4000);
        for (int n = 1; n <= channels; ++n) {
            ChannelControls.ChDelayAdj[n]->setMaxValue(4000);
            ChannelControls.ChDelayAdj[n]->setMinValue(-4000);
            ChannelControls.ChWidthAdj[n]->setMaxValue(4000);
            ChannelControls.ChWidthAdj[n]->setMinValue(8e-9);
        }
    } else {
        PeriodAdj->setMaxValue(1000);
        for (int n = 1; n <= channels; ++n) {
            ChannelControls.ChDelayAdj[n]->setMaxValue(1000);
            ChannelControls.ChDelayAdj[n]->setMinValue(-1000);
            ChannelControls.ChWidthAdj[n]->setMaxValue(1000);
        }
    }
}
