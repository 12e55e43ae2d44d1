#include <wakeward/Uuid.h>

#include <uuid/uuid.h>

namespace wakeward {

Uuid Uuid::generate() {
    Uuid id;
    uuid_generate_random(id.m_bytes.data());
    return id;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    // libuuid accepts exactly the 36-character hyphenated form, in either case.
    if (text.size() != 36)
        return std::nullopt;
    char buffer[37];
    text.copy(buffer, 36);
    buffer[36] = '\0';
    Uuid id;
    if (uuid_parse(buffer, id.m_bytes.data()) != 0)
        return std::nullopt;
    return id;
}

std::string Uuid::toString() const {
    char buffer[37];
    uuid_unparse_upper(m_bytes.data(), buffer);
    return std::string(buffer, 36);
}

bool Uuid::isNil() const {
    return uuid_is_null(m_bytes.data()) != 0;
}

} // namespace wakeward
