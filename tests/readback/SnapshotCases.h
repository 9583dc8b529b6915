// The generators that both the window-free snapshot test and the panel's
// read-back (PanelSnapshotLines) read: every model, with and without the
// mux-gate query, each setting of its own, a few answers the program must
// take as they come, and one numeric answer that is no number.
#pragma once

#include "support/ChangedSettings.h"
#include "Generator.h"
#include "PtyServer.h"

#include <string>

inline const char* const kSnapshotModels[] = {"6402", "6404", "6402+", "6404+", "6422", "6424"};

inline jt6400sim::GeneratorOptions SnapshotGenerator(const std::string& model, bool muxGate)
{
    jt6400sim::GeneratorOptions g;
    g.identity.model = model;
    g.muxGateSupported = muxGate;
    return g;
}

// Every setting of its own, a polarity no keyword names (the generator
// answers "?"), and channel A synchronised to channel H, above the channels
// in use on all but the largest models.
inline jt6400sim::Settings VariedSettings(const jt6400sim::ModelInfo& model)
{
    jt6400sim::Settings s = ChangedSettings(model);
    s.channels[0].Polarity = 7;
    s.channels[0].SyncSource = 8;
    return s;
}

// The answer to channel B's burst count is no number.
inline jt6400sim::ServerOptions SnapshotServer(const std::string& linkPath)
{
    jt6400sim::ServerOptions o;
    o.linkPath = linkPath;
    o.answerRules.push_back({jt6400sim::AnswerFault::Garbage, ":PULS2:BCO?", 0, -1});
    return o;
}
