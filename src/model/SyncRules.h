// The rules a channel's sync source must keep: no channel synchronised to
// itself, no two channels synchronised to each other, no longer loop. The
// sync-source handler refuses an edit with the message given here, and the
// timing diagram refuses a read-back chain the same way.
#pragma once

#include <QString>
#include <QStringList>

#include "model/Settings.h"

// Why channel C may not take channel S (0 = T0) as its sync source while the
// other channels keep the sources Channels holds; an empty text when it may.
// ChannelCount is the number of channels in use.
QString SyncSourceError(const TChannelSettingsArray& channels, int channelCount, int c, int s);

// The sync source an answer to a sync query names; an answer that names no
// channel (empty, garbled) keeps Previous.
int SyncSourceOf(const QString& answer, int previous);

// What a channel's sync list shows for a sync source: the channel number
// kept in ChannelSettings, the list item to select (-1 for none) and, when
// no item fits, the text the box shows instead.
struct TSyncSelection {
    int SyncSource = 0;
    int ItemIndex = -1;
    QString EditText;
};
// The source's item, selected when the trimmed list offers it; otherwise (a
// channel above ChannelCount, or the channel itself) no item is selected and
// the box shows the channel's name.
TSyncSelection SyncSelection(const QStringList& items, int source);
// The same after the sync query: the channel the answer names, or Previous
// for an answer that names none (SyncSourceOf).
TSyncSelection SyncSelection(const QStringList& items, const QString& answer, int previous);
