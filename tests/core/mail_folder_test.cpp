// The names of the mails' own folders and the process id read back from them.
#include "mail/MailFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(MailFolder, NamesCarryTheProcessIdBack) {
    EXPECT_EQ(quorvel::MailFolderName(4242, 7), "Quorvel mail 4242.7");
    const struct {
        const char* name;
        bool ours;
        unsigned long pid;
    } cases[] = {
        {"Quorvel mail 4242.7", true, 4242},
        {"Quorvel mail 4294967295.1", true, 4294967295ul},
        {"Quorvel mail 4294967296.1", false, 0},
        {"Quorvel mail 0.3", true, 0},
        {"Quorvel mail 042.3", false, 0},
        {"Quorvel mail 42.", false, 0},
        {"Quorvel mail .3", false, 0},
        {"Quorvel mail 42", false, 0},
        {"Quorvel mail 42.3.1", false, 0},
        {"Quorvel mail 4x.3", false, 0},
        {"Quorvel mail -4.3", false, 0},
        {"quorvel mail 42.3", false, 0},
        {"Quorvel mails 42.3", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        unsigned long pid = 12345;
        EXPECT_EQ(quorvel::MailFolderProcess(c.name, &pid), c.ours) << c.name;
        if (c.ours) EXPECT_EQ(pid, c.pid) << c.name;
    }
}

}  // namespace
