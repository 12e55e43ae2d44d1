#pragma once

#include <QString>
#include <QTextStream>
#include <filesystem>
#include <optional>

namespace wakeward {

// `wakeward doctor`: prints what this desktop offers for keeping the computer awake (each
// backend of the hold chain, the one each kind of hold would use now, the sleep delay lock, the
// tray, notifications and the database) and returns 0 when a system hold can be taken, else 1.
// Reads only; never starts an instance, never creates the database.
int runDoctor(const std::optional<std::filesystem::path>& database, QTextStream& out);

} // namespace wakeward
