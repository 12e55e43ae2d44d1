#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace wakeward {

// Asks the sound server (PulseAudio or PipeWire's PulseAudio server) for its default output.
class AudioOutput {
public:
    /// Description of the default sink, or absent on any failure or when the deadline passes; never
    /// starts a server.
    static std::optional<std::string>
    defaultSinkDescription(std::chrono::milliseconds deadline = std::chrono::milliseconds(250));
};

} // namespace wakeward
