// The service's last words, read from journals of the test's own.
#include <grp.h>
#include <sys/wait.h>
#include <systemd/sd-id128.h>

#include "journal.h"
#include "platform/linux/service_log.h"

TEST(ServiceLog, TheRunsNewestErrorElseItsNewestLine) {
    const std::string unit = "quenthal.service", a(32, 'a'), b(32, 'b'), c(32, 'c'), old(32, '1');
    sd_id128_t bootId;
    char boot[SD_ID128_STRING_MAX];
    sd_id128_to_string(sd_id128_get_boot(&bootId) < 0 ? SD_ID128_NULL : bootId, boot);
    std::string busy;
    for (int i = 0; i < 1000; ++i) busy += Entry(unit, c, old, 6, "busy");
    const std::string folder = Journal(
        Entry(unit, a, old, 6, "starting") + Entry(unit, a, old, 3, "bind <b>:80</b> & \t\x01") +
        Entry(unit, a, old, 4, "warned") + Entry(unit, b, boot, 6, "starting") +
        Entry(unit, b, boot, 6, "\xff" + std::string(4094, 'x') + "\xc3\xa9 and on") +
        Entry("other", b, boot, 0, "not ours") + Entry(unit, c, old, 3, "too far back") + busy);
    const auto read = [&](std::string run) { return ReadLastWordsIn({unit, run}, folder).line; };
    EXPECT_EQ(read(a), "bind <b>:80</b> & \t\x01");  // as logged, and not the warning after
    // Cut at 4 KiB before the character that straddles it, the invalid byte repaired.
    EXPECT_EQ(read(b), wxString(L'\uFFFD') + wxString('x', 4094));
    EXPECT_EQ(read(""), read(b));  // no run named: this boot's
    EXPECT_EQ(read(c), "busy");    // its error is older than its last 1,000 entries
    const auto nothing = ReadLastWordsIn({unit, std::string(32, 'd')}, folder);
    EXPECT_EQ(nothing.found, LastWords::Found::Nothing);
    std::filesystem::create_directory(folder + "/none");
    EXPECT_EQ(ReadLastWordsIn({unit, b}, folder + "/none").found, LastWords::Found::Nothing)
        << "no journal at all";

    // A user who may not read the journal's file (root's alone) is told so; only root can
    // become one, which the tests do as they run here.
    const pid_t child = geteuid() == 0 ? fork() : -1;
    if (child == 0)
        _exit(setgroups(0, nullptr) || setgid(65534) || setuid(65534)
                  ? 99
                  : int(ReadLastWordsIn({unit, b}, folder).found));
    int status = int(LastWords::Found::Unreadable) << 8;
    if (child > 0) waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), int(LastWords::Found::Unreadable));
    std::filesystem::remove_all(folder);
}
