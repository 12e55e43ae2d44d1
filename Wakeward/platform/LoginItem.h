#pragma once

#include <optional>
#include <string>

namespace wakeward {

// The registration that starts Wakeward when the user logs in.
class LoginItem {
public:
    LoginItem() = default;
    virtual ~LoginItem() = default;
    LoginItem(const LoginItem&) = delete;
    LoginItem& operator=(const LoginItem&) = delete;

    /// Whether Wakeward is registered to start at login, read afresh on every call.
    virtual bool enabled() const = 0;
    /// Registers or unregisters; the failure's description, or none on success.
    virtual std::optional<std::string> setEnabled(bool enabled) = 0;
};

} // namespace wakeward
