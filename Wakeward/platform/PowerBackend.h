#pragma once

#include <cstdint>
#include <string>

namespace wakeward {

// The two kinds of hold Wakeward ever asks for.
enum class AssertionType { PreventUserIdleSystemSleep, PreventUserIdleDisplaySleep };

// The type's name as other power tools show it.
const char* assertionTypeName(AssertionType type);

// A facility of the operating system that can hold and drop named idle-sleep inhibitions.
class PowerBackend {
public:
    PowerBackend() = default;
    virtual ~PowerBackend() = default;
    PowerBackend(const PowerBackend&) = delete;
    PowerBackend& operator=(const PowerBackend&) = delete;

    /// Creates a hold of the type under the name; 0 and a nonzero handle on success, else a nonzero
    /// status and handle 0.
    virtual std::int32_t create(AssertionType type, const std::string& name,
                                std::uint32_t& handle) = 0;
    /// Drops a hold made by create(); unknown handles are ignored and nothing is reported.
    virtual void release(std::uint32_t handle) = 0;
    /// Short human text naming what holds the handle (for example "logind idle lock"); empty when
    /// unknown.
    virtual std::string holderName(std::uint32_t handle) const = 0;
    /// False once the service that held the handle dropped it (it quit or restarted, or reported
    /// a failure late); the handle still needs release(). Cheap: no call to the service.
    virtual bool holds(std::uint32_t handle) const = 0;
};

} // namespace wakeward
