#pragma once

#include "platform/PowerBackend.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace wakeward::test {

// A power backend that records every call and answers creations from a script.
class FakePowerBackend : public PowerBackend {
public:
    struct Log {
        std::vector<std::string> calls;
        std::uint32_t nextHandle = 100;
        // Statuses for the coming creations, oldest first; 0 (success) when empty.
        std::deque<std::int32_t> statuses;
        // Handles whose service has dropped them, as if it had quit.
        std::set<std::uint32_t> lost;
        // Creations succeed without a handle, as a broken service's might.
        bool handleless = false;
        // Handles created and not yet released.
        std::set<std::uint32_t> held;
    };

    explicit FakePowerBackend(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

    std::int32_t create(AssertionType type, const std::string& name,
                        std::uint32_t& handle) override {
        std::int32_t status = 0;
        if (!m_log->statuses.empty()) {
            status = m_log->statuses.front();
            m_log->statuses.pop_front();
        }
        handle = status == 0 && !m_log->handleless ? ++m_log->nextHandle : 0;
        if (handle != 0)
            m_log->held.insert(handle);
        m_log->calls.push_back(std::string("create ") + assertionTypeName(type) + " " + name +
                               " -> " + std::to_string(handle));
        return status;
    }

    void release(std::uint32_t handle) override {
        m_log->calls.push_back("release " + std::to_string(handle));
        m_log->held.erase(handle);
    }

    std::string holderName(std::uint32_t handle) const override {
        return "fake " + std::to_string(handle);
    }

    bool holds(std::uint32_t handle) const override { return m_log->lost.count(handle) == 0; }

private:
    std::shared_ptr<Log> m_log;
};

} // namespace wakeward::test
