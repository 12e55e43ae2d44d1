#include "controller/Transfer.h"

#include "controller/DriveReader.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace wakeward;
using testing::HasSubstr;

namespace {

std::string profilesText(std::size_t count, const std::string& name = "Backup",
                         const std::string& minutes = "60") {
    std::string text = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            text += ",";
        text += R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":")" + name +
                R"(","minutes":)" + minutes +
                R"(,"display":true,"acOnly":false,"favourite":false})";
    }
    return text + "]";
}

std::string importError(const std::string& text) {
    auto result = Transfer::importableProfiles(text);
    EXPECT_FALSE(result.ok()) << text.substr(0, 80);
    return result.ok() ? "" : result.error().description;
}

} // namespace

// Exported profiles are indented with their keys sorted; reading them back is the codec's and the
// import's business.
TEST(ProfilesFile, ExportIsPrettyAndSorted) {
    Profile profile("Render", 180, false, true);
    const std::string text = Transfer::profilesJson({profile, Profile("Download")}).value();
    EXPECT_EQ(text.find("\n    \"acOnly\": true,\n    \"display\": false,\n    \"favourite\": "
                        "true,\n    \"id\""),
              text.find("\n    \"acOnly\""));
    EXPECT_LT(text.find("\"acOnly\""), text.find("\"name\""));
}

// At most 100 profiles; each name meets the rules names meet everywhere (the error names the
// entry), each length lies between 1 and 1440 minutes; the file is a list. A file the codec
// cannot read fails with the codec's reason.
TEST(ProfilesFile, LimitsAndReasons) {
    EXPECT_EQ(Transfer::importableProfiles(profilesText(100)).value().size(), 100u);
    EXPECT_THAT(importError(profilesText(101)), HasSubstr("101 profiles"));
    EXPECT_TRUE(Transfer::importableProfiles("[]").value().empty());
    EXPECT_THAT(importError(profilesText(2, "Back\\u001bup")),
                HasSubstr("Profile 1 has a control character"));
    EXPECT_TRUE(Transfer::importableProfiles(profilesText(1, "   ")).ok());

    EXPECT_TRUE(Transfer::importableProfiles(profilesText(1, "x", "1")).ok());
    EXPECT_TRUE(Transfer::importableProfiles(profilesText(1, "x", "1440")).ok());
    for (const char* minutes : {"0.5", "1440.5", "-3", "1e999"})
        EXPECT_FALSE(Transfer::importableProfiles(profilesText(1, "x", minutes)).ok()) << minutes;
    EXPECT_THAT(importError("{\"name\":\"x\"}"), HasSubstr("list of profiles"));
    EXPECT_THAT(importError("[{\"name\":\"x\"}]"), HasSubstr("is missing"));
    EXPECT_THAT(importError("[{\"name\":"), HasSubstr("not valid JSON"));
}

// Dates are UTC whatever the local zone, rounded down to the second before the epoch as after.
TEST(HistoryCsv, LinesFieldsAndDates) {
    EXPECT_EQ(Transfer::historyCsv({}), "Date,Event,Reason,Battery,Duration seconds\n");

    HistoryEvent ended("Ended", "Stopped, \"quoted\"\nsecond line", "-5%", 59.9,
                       Instant::fromUnix(1773480413.7));
    HistoryEvent started("Started", "Manual session", "Battery 80%", 0.4, Instant::fromUnix(-1.5));
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "Pacific/Kiritimati", 1);
    tzset();
    const std::string csv = Transfer::historyCsv({ended, started});
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(csv, "Date,Event,Reason,Battery,Duration seconds\n"
                   "\"2026-03-14T09:26:53Z\",\"Ended\",\"Stopped, \"\"quoted\"\"\nsecond "
                   "line\",\"'-5%\",\"59\"\n"
                   "\"1969-12-31T23:59:58Z\",\"Started\",\"Manual session\",\"Battery 80%\",\"0\"");
}

// The drive keeper reads without changing the file's size or times.
TEST(DriveReader, ReadsWithoutChangingTheFile) {
    QTemporaryDir dir;
    const std::filesystem::path small = dir.filePath(QStringLiteral("small.bin")).toStdString();
    std::ofstream(small) << std::string(10000, 'x');
    auto sizeAndTime = [&] {
        return std::pair(file_size(small), last_write_time(small).time_since_epoch().count());
    };
    const auto before = sizeAndTime();
    EXPECT_TRUE(touchDriveFile(small).ok());
    EXPECT_EQ(sizeAndTime(), before);
}

// Both readers refuse what is not an ordinary file: a FIFO would wait for a writer forever, a
// folder has nothing to read.
TEST(Files, ReadersRefuseSpecialFiles) {
    QTemporaryDir dir;
    const std::filesystem::path fifo = dir.filePath(QStringLiteral("fifo")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& special :
         {fifo, std::filesystem::path(dir.path().toStdString())}) {
        const Status drive = touchDriveFile(special);
        const auto read = Transfer::readFile(special, 100);
        ASSERT_FALSE(drive.ok() || read.ok()) << special;
        for (const std::string& why : {drive.error().description, read.error().description})
            EXPECT_NE(why.find("is not an ordinary file"), std::string::npos) << why;
    }
}
