#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wakeward {

// A 128-bit identifier, written in the canonical upper-case 8-4-4-4-12 form.
class Uuid {
public:
    // The nil identifier (all zero); records never use it.
    Uuid() = default;

    // A fresh random identifier.
    static Uuid generate();

    // Reads the canonical hyphenated form in either case; anything else gives none.
    static std::optional<Uuid> parse(std::string_view text);

    std::string toString() const;
    bool isNil() const;

    auto operator<=>(const Uuid&) const = default;
    bool operator==(const Uuid&) const = default;

private:
    std::array<std::uint8_t, 16> m_bytes{};
};

} // namespace wakeward
