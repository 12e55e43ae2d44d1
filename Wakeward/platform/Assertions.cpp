#include "platform/Assertions.h"

#include <utility>

namespace wakeward {

const char* assertionTypeName(AssertionType type) {
    switch (type) {
    case AssertionType::PreventUserIdleSystemSleep:
        return "PreventUserIdleSystemSleep";
    case AssertionType::PreventUserIdleDisplaySleep:
        return "PreventUserIdleDisplaySleep";
    }
    return "";
}

Assertions::Assertions(std::unique_ptr<PowerBackend> backend) : m_backend(std::move(backend)) {}

Assertions::~Assertions() {
    release();
}

std::optional<PowerError> Assertions::apply(bool awake, bool display, const std::string& reason) {
    if (!awake) {
        release();
        return std::nullopt;
    }
    // A hold its service dropped is made afresh; only one that still stands is kept as it is.
    if (m_system != 0 && m_reason == reason && (m_display != 0) == display &&
        m_backend->holds(m_system) && (m_display == 0 || m_backend->holds(m_display)))
        return std::nullopt;

    release();

    std::uint32_t system = 0;
    const std::int32_t systemStatus =
        m_backend->create(AssertionType::PreventUserIdleSystemSleep, reason, system);
    if (systemStatus != 0 || system == 0) {
        // Success without a handle cannot be honoured: identifier 0 never stands for a hold.
        const std::int32_t status = systemStatus != 0 ? systemStatus : -2;
        return PowerError{"Power", status,
                          "The system could not create the idle-sleep assertion (" +
                              std::to_string(status) + "). No active session is claimed."};
    }
    m_system = system;

    if (display) {
        std::uint32_t displayId = 0;
        const std::int32_t displayStatus =
            m_backend->create(AssertionType::PreventUserIdleDisplaySleep, reason, displayId);
        if (displayStatus != 0 || displayId == 0) {
            release();
            return PowerError{"Power", displayStatus != 0 ? displayStatus : -2,
                              "The system could not hold the display awake. The session was stopped."};
        }
        m_display = displayId;
    }

    m_reason = reason;
    return std::nullopt;
}

void Assertions::release() {
    if (m_display != 0) {
        m_backend->release(m_display);
        m_display = 0;
    }
    if (m_system != 0) {
        m_backend->release(m_system);
        m_system = 0;
    }
    m_reason.clear();
}

std::string Assertions::systemHolder() const {
    return m_system != 0 ? m_backend->holderName(m_system) : std::string();
}

std::string Assertions::displayHolder() const {
    return m_display != 0 ? m_backend->holderName(m_display) : std::string();
}

} // namespace wakeward
