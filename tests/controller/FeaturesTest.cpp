#include "../TestFiles.h"
#include "ModelRig.h"
#include "controller/Transfer.h"

#include <deque>
#include <fstream>
#include <gmock/gmock.h>
#include <sqlite3.h>

namespace wakeward::test {
namespace {

using testing::AllOf;
using testing::HasSubstr;
using testing::Optional;
using testing::StartsWith;

const std::string closing =
    "\nManual sessions take precedence; the highest-priority matching rule wins over schedules. "
    "Battery safeguards always apply.";

class FeaturesTest : public ModelTest {
protected:
    void SetUp() override { model->setFileDialogs(std::make_unique<QueuedDialogs>(answers)); }
    std::filesystem::path file(const std::string& name) const {
        return std::filesystem::path(rig.dir.path().toStdString()) / name;
    }

    std::shared_ptr<std::deque<std::filesystem::path>> answers =
        std::make_shared<std::deque<std::filesystem::path>>();
};

// The trace names other enabled matching rules in list order, never the tested rule's twin.
TEST_F(FeaturesTest, RuleTestTraceText) {
    const Rule stored = mainsRule("Stored", 5);
    Rule disabled = mainsRule("Off");
    disabled.enabled = false;
    model->setRules(
        {stored, mainsRule("Other", -3), disabled, mainsRule("Let sleep", 50, RuleAction::allow)});
    const auto creationsBefore = rig.creations();

    Rule edited = stored;
    edited.name = "Stored, edited";
    model->test(edited);
    EXPECT_EQ(model->ruleTrace(),
              "Conditions match. No assertion created.\nOn mains power \u2014 matched"
              "\nOther matching rules: Other (priority -3), Let sleep (priority 50)" +
                  closing);

    Rule broken;
    broken.name = "";
    model->test(broken);
    EXPECT_EQ(model->ruleTrace(), "Conditions do not match. No assertion created.\n"
                                  "Rule is incomplete or contains an invalid threshold."
                                  "\nOther matching rules: Stored (priority 5), Other (priority "
                                  "-3), Let sleep (priority 50)" +
                                      closing);

    model->setRules({});
    Rule usb = mainsRule("USB");
    usb.enabled = false;
    usb.conditions = {Condition(SignalKind::ac, ""), Condition(SignalKind::display, "")};
    const int expensiveBefore = rig.source->expensiveReads;
    model->test(usb);
    EXPECT_EQ(rig.source->expensiveReads, expensiveBefore);
    EXPECT_EQ(model->ruleTrace().find("Other matching rules"), std::string::npos);
    usb.conditions.push_back(Condition(SignalKind::usb, "Drive"));
    model->test(usb);
    EXPECT_EQ(rig.source->expensiveReads, expensiveBefore + 1);

    EXPECT_EQ(rig.creations(), creationsBefore) << "a test holds nothing";
}

// A failed import adds nothing and says why; a cancel changes nothing and keeps the message; an
// import is saved at once.
TEST_F(FeaturesTest, ProfileImports) {
    const Profiles before = model->profiles();
    std::ofstream(file("bad.json"))
        << R"([{"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"x","minutes":0,"display":false,"acOnly":false,"favourite":true}])";
    std::ofstream(file("huge.json")) << std::string(2 * 1024 * 1024, ' ');
    const std::pair<const char*, const char*> failures[] = {
        {"bad.json", "from 1 to 1440 minutes"},
        {"missing.json", "could not be opened"},
        {"huge.json", "larger"},
    };
    for (const auto& [name, why] : failures) {
        answers->push_back(file(name));
        model->importProfiles();
        EXPECT_THAT(model->message(),
                    Optional(AllOf(StartsWith("Profiles were not imported: "), HasSubstr(why))));
    }
    EXPECT_EQ(model->profiles(), before);

    model->setMessage(std::string("earlier"));
    model->importProfiles();
    model->exportProfiles();
    model->exportHistory();
    EXPECT_EQ(model->message(), OptionalText("earlier"));
    EXPECT_EQ(model->profiles(), before);

    answers->push_back(file("profiles.json"));
    model->exportProfiles();
    answers->push_back(file("profiles.json"));
    model->importProfiles();
    ASSERT_EQ(model->profiles().size(), before.size() * 2);
    EXPECT_EQ(model->profiles()[before.size()].name, before[0].name);
    EXPECT_NE(model->profiles()[before.size()].id, before[0].id) << "a copy is a new profile";
    EXPECT_EQ(rig.make()->profiles(), model->profiles()) << "the longer list was saved";
}

// The history file is the loaded list; a failed write says so, and a later export replaces the
// file.
TEST_F(FeaturesTest, HistoryExportAndClear) {
    model->start();
    model->endAll("Stopped by you");
    ASSERT_EQ(model->history().size(), 2u);
    answers->push_back(file("history.csv"));
    model->exportHistory();
    EXPECT_EQ(fileText(file("history.csv")), Transfer::historyCsv(model->history()));

    answers->push_back(file("no-such-folder/history.csv"));
    model->exportHistory();
    EXPECT_TRUE(model->message());

    // Another program reading the file keeps the old copies from being wiped: the events are
    // gone all the same, so the list empties and the message says what is left to do.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(rig.storePath->c_str(), &reader), SQLITE_OK);
    sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM history;", nullptr, nullptr, nullptr);
    model->setMessage(std::nullopt);
    model->clearHistory();
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_TRUE(model->history().empty());
    EXPECT_THAT(model->message(), Optional(HasSubstr("could not yet be wiped")));
    EXPECT_TRUE(rig.store().history(Instant{-1e12}).value().empty());

    answers->push_back(file("history.csv"));
    model->exportHistory();
    EXPECT_EQ(fileText(file("history.csv")), Transfer::historyCsv({}));
}

// Reads happen only while a session holds, at least 60 s apart, and a vanished file stops them.
TEST_F(FeaturesTest, DriveKeeper) {
    model->setDriveEnabled(true);
    EXPECT_FALSE(model->driveEnabled()); // nothing to read yet
    std::ofstream(file("drive.bin")) << "data";
    answers->push_back(file("drive.bin"));
    model->selectDriveFile();
    EXPECT_FALSE(model->driveEnabled());
    model->setDriveEnabled(true);
    model->setDriveInterval(10);

    model->refresh();
    EXPECT_EQ(model->driveStatus(),
              "Ready \u2022 read-only access to drive.bin"); // nothing held yet

    model->start();
    ASSERT_TRUE(model->active());
    EXPECT_THAT(model->driveStatus(), StartsWith("Read completed at "));
    model->setDriveEnabled(false);
    model->setDriveEnabled(true);

    // Within 60 s of the last read nothing is read, even though the interval is 10.
    std::filesystem::remove(file("drive.bin"));
    rig.time->advance(30);
    model->refresh();
    EXPECT_TRUE(model->driveEnabled());
    rig.time->advance(31);
    model->refresh();
    EXPECT_FALSE(model->driveEnabled());
    EXPECT_THAT(model->driveStatus(), StartsWith("Read stopped: "));
    EXPECT_TRUE(model->driveURL());

    // A newly chosen file is read at the next tick of the session.
    std::ofstream(file("other.bin")) << "";
    answers->push_back(file("other.bin"));
    model->selectDriveFile();
    model->setDriveEnabled(true);
    model->refresh();
    EXPECT_THAT(model->driveStatus(), StartsWith("Read completed at "));
}

} // namespace
} // namespace wakeward::test
