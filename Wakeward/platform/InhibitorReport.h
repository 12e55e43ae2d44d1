#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wakeward {

// An inhibitor lock as logind lists it.
struct Inhibitor {
    std::string what;
    std::string who;
    std::string why;
    std::string mode;
    unsigned uid = 0;
    unsigned pid = 0;
};

// Turns logind's inhibitor list into the assertion inspector's entries.
class InhibitorReport {
public:
    /// At most 100 two-line entries in code-point order, without delay locks and without ownPid's
    /// locks.
    static std::vector<std::string> entries(const std::vector<Inhibitor>& inhibitors, int ownPid,
                                            const std::map<int, std::string>& applicationNames);
    /// logind's current inhibitor locks from the bus at the address; absent when it cannot be
    /// asked.
    static std::optional<std::vector<Inhibitor>> list(const std::string& systemBusAddress,
                                                      int timeoutMs = 2000);
};

} // namespace wakeward
