// The enumerated settings of the generator as types of their own. The value
// of each member is its position in the setting's keyword list (and so the
// index of its item in the window's list); the keywords and captions are in
// the setting table (model/SettingTable.h).
#pragma once

#include <cstdint>
#include <type_traits>

// Pulse mode of the system timer T0.
enum class TSystemMode : std::int32_t { Continuous, SingleShot, Burst, DutyCycle };
// Pulse mode of a channel.
enum class TChannelMode : std::int32_t { Normal, SingleShot, Burst, DutyCycle };
// What the external input does; ReArm exists on generators with the Plus
// features only.
enum class TExtMode : std::int32_t { Disabled, Triggered, Gated, ReArm };
enum class TTriggerEdge : std::int32_t { Falling, Rising };
enum class TGatePolarity : std::int32_t { Low, High };
enum class TChannelPolarity : std::int32_t { Inverted, Normal };
// The two "…WR" modes exist on generators with the Plus features only.
enum class TChannelGateMode : std::int32_t { Disabled, ActiveLow, ActiveHigh, ActiveLowWR, ActiveHighWR };
// The multiplexer gate of a standard channel; sent as its number.
enum class TMuxGateMode : std::int32_t { Disabled, Gated, Inhibit, Invert };

// Position of a mode in its list.
template <typename E>
    requires std::is_enum_v<E>
constexpr int IndexOf(E mode)
{
    return static_cast<int>(static_cast<std::underlying_type_t<E>>(mode));
}

// The mode at a list position. The record keeps whatever number it is
// given, so a position outside the list survives and reads as no known mode.
template <typename E>
    requires std::is_enum_v<E>
constexpr E ModeAt(int index)
{
    return static_cast<E>(static_cast<std::underlying_type_t<E>>(index));
}
