// The rules a channel's sync source must keep: no channel synchronised to
// itself, no two channels synchronised to each other, no longer loop. The
// sync-source handler refuses an edit with the message given here, and the
// timing diagram refuses a read-back chain the same way.
#pragma once

#include <QString>

#include "model/Settings.h"

// Why channel C may not take channel S (0 = T0) as its sync source while the
// other channels keep the sources Channels holds; an empty text when it may.
// ChannelCount is the number of channels in use.
QString SyncSourceError(const TChannelSettingsArray& channels, int channelCount, int c, int s);
