#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace wakeward::fuzz {

// Stops the run on a broken property, so that the fuzzer keeps the input that broke it.
inline void check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken property: %s\n", what);
        std::abort();
    }
}

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input cut at NUL bytes into at most `count` fields; missing fields are empty.
inline std::vector<std::string> fields(std::string_view input, std::size_t count) {
    std::vector<std::string> parts(count);
    std::size_t index = 0;
    for (char c : input) {
        if (c == '\0' && index + 1 < count)
            ++index;
        else
            parts[index] += c;
    }
    return parts;
}

// Undoes one quoted CSV field; false when `quoted` is not exactly one well-formed field.
inline bool unquote(std::string_view quoted, std::string& field) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return false;
    field.clear();
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '"') {
            if (i + 2 >= quoted.size() || quoted[i + 1] != '"')
                return false;
            ++i;
        }
        field += quoted[i];
    }
    return true;
}

// Splits one CSV record of quoted fields, as a spreadsheet reads it; false on any stray text.
inline bool splitRecord(std::string_view line, std::vector<std::string>& out) {
    out.clear();
    std::size_t i = 0;
    while (true) {
        if (i >= line.size() || line[i] != '"')
            return false;
        std::string field;
        ++i;
        while (true) {
            if (i >= line.size())
                return false;
            if (line[i] == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            field += line[i++];
        }
        out.push_back(std::move(field));
        if (i == line.size())
            return true;
        if (line[i] != ',')
            return false;
        ++i;
    }
}

} // namespace wakeward::fuzz
