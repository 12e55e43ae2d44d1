#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace wakeward::test {

// A writable copy of a fixture tree of tests/data in a temporary folder, removed afterwards.
class FixtureTree {
public:
    explicit FixtureTree(const std::string& fixture) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "wakeward-fixture-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
        std::filesystem::copy(source(fixture), m_root,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::copy_symlinks);
    }
    ~FixtureTree() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;

    static std::filesystem::path source(const std::string& fixture) {
        return std::filesystem::path(WAKEWARD_TEST_DATA) / fixture;
    }

    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path operator/(const std::string& relative) const { return m_root / relative; }

    void write(const std::string& relative, const std::string& content) const {
        const auto path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    void remove(const std::string& relative) const {
        std::filesystem::remove_all(m_root / relative);
    }

private:
    std::filesystem::path m_root;
};

} // namespace wakeward::test
