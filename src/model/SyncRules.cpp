#include "model/SyncRules.h"

QString SyncSourceError(const TChannelSettingsArray& channels, int channelCount, int c, int s)
{
    auto S = [&channels](int k) { return k >= 1 && k <= kMaxChannel ? channels[k].SyncSource : 0; };
    // T0 is always a valid source.
    if (s == 0)
        return {};
    if (S(s) == c)
        return QStringLiteral("Error. You cannot sync two channels to each other.");
    if (s == c)
        return QStringLiteral("Error. Channel cannot sync to itself.");
    if (S(s) == 0)
        return {};
    int k = s;
    for (int step = 0; step < channelCount; ++step) {
        if (k > channelCount)
            k = 1;
        if (S(k) == c)
            return QStringLiteral("Error. Circular sync reference.");
        k = S(k);
        if (k == 0)
            break;
    }
    return {};
}

int SyncSourceOf(const QString& answer, int previous)
{
    const int number = GetChannelNumber(answer);
    return number == kNoChannel ? previous : number;
}

TSyncSelection SyncSelection(const QStringList& items, int source)
{
    TSyncSelection s;
    s.SyncSource = source;
    s.ItemIndex = GetChannelIndex(items, source);
    if (s.ItemIndex < 0)
        s.EditText = GetChSyncName(source);
    return s;
}

TSyncSelection SyncSelection(const QStringList& items, const QString& answer, int previous)
{
    return SyncSelection(items, SyncSourceOf(answer, previous));
}
