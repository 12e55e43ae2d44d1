#pragma once

#include "platform/PowerBackend.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wakeward {

// A refused hold: the controller shows only the description.
struct PowerError {
    std::string domain;
    std::int64_t code = 0;
    std::string description;
};

// Holds at most one idle-system-sleep and one idle-display-sleep assertion of Wakeward's own.
class Assertions {
public:
    explicit Assertions(std::unique_ptr<PowerBackend> backend);
    ~Assertions();
    Assertions(const Assertions&) = delete;
    Assertions& operator=(const Assertions&) = delete;

    /// Makes the held assertions match the arguments, taking again a hold its service dropped; on
    /// failure nothing is held and the error is returned.
    [[nodiscard]] std::optional<PowerError> apply(bool awake, bool display,
                                                  const std::string& reason);
    /// Drops whatever is held, display first; never fails.
    void release();

    /// Identifier of the held idle-system-sleep assertion, 0 when none.
    std::uint32_t system() const { return m_system; }
    /// Identifier of the held idle-display-sleep assertion, 0 when none.
    std::uint32_t display() const { return m_display; }
    /// Name under which the held assertions were created; empty when nothing is held.
    const std::string& reason() const { return m_reason; }
    /// What holds the system assertion (for example "GNOME session manager"); empty when none is
    /// held.
    std::string systemHolder() const;
    /// What holds the display assertion; empty when none is held.
    std::string displayHolder() const;

    /// Other processes' active holds as two-line texts, sorted and capped at 100; absent when they
    /// cannot be listed.
    static std::optional<std::vector<std::string>> others();
    /// The same, naming processes by `applicationNames` (pid to application name), so a reader
    /// that already knows the processes can be asked instead of scanning them afresh.
    static std::optional<std::vector<std::string>>
    others(const std::function<std::map<int, std::string>()>& applicationNames);

private:
    std::unique_ptr<PowerBackend> m_backend;
    std::uint32_t m_system = 0;
    std::uint32_t m_display = 0;
    std::string m_reason;
};

} // namespace wakeward
