#pragma once
// The autostart chain: one-shot frame timers 10100..10110 that reload the last project, press each channel
// button of the design panel in turn and finally Play.
#include <cstdint>
#include <string>

inline constexpr int kAutostartReloadTimer = 10100;
inline constexpr int kAutostartFirstChannelTimer = 10101;
inline constexpr int kAutostartPlayTimer = 10110;
inline constexpr int kAutostartFirstDelayMs = 100;
inline constexpr int kAutostartStepMs = 500;
inline constexpr int kPlayCommand = 5000;
inline constexpr int kPlayerStartTimer = 5040;
inline constexpr int kPlayerStartDelayMs = 3000;

// The channel button a channel step (10101..10109) sends; 0 for any other timer.
int AutostartButton(int timer);

// The timer a channel step arms next for a configuration; 0 ends the chain.
int NextAutostartTimer(int timer, uint32_t configuration);

// The part of a path after its last backslash, searched from the end down to the second character;
// false when there is none (the profile name then keeps its old content).
bool ProfileNameFromPath(const std::string& path, std::string* name);
