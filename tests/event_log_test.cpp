// The event log's records decoded from bytes laid out as Windows hands them over, and the
// reader over Wine's log, which gives no record back (its ReadEventLog is not implemented).
#include <wx/thread.h>

#include <cstring>

#include "platform/service_log.h"
#include "platform/windows/event_record.h"
#include "support.h"

// An error's EVENTLOGRECORD in the SDK's own layout, then the source's and the computer's names
// and the strings.
static auto Record(const wchar_t* source, DWORD id, const std::vector<std::wstring>& strings) {
    EVENTLOGRECORD head{};
    head.Reserved = 0x654c664c, head.TimeGenerated = 1700000000, head.EventID = id;
    head.EventType = EVENTLOG_ERROR_TYPE, head.NumStrings = WORD(strings.size());
    std::wstring tail = source + std::wstring(1, L'\0') + L"PC" + L'\0';
    head.StringOffset = DWORD(sizeof head + tail.size() * 2);
    for (const auto& text : strings) tail += text + L'\0';
    head.Length = DWORD(sizeof head + tail.size() * 2 + 4);  // and the length once more
    std::vector<std::uint8_t> bytes(head.Length);
    std::memcpy(bytes.data(), &head, sizeof head);
    std::memcpy(bytes.data() + sizeof head, tail.data(), tail.size() * 2);
    return bytes;
}

TEST(EventLog, TheServicesOwnErrorAndTheManagersWordThatItEnded) {
    // 7031 with its severity bits, the service named by its display name
    const auto end =
        Record(L"Service Control Manager", 0xC0001B77, {L"Q", L"3", L"5", L"1", L"Go"});
    const auto manager = DecodeEventRecord(end.data(), end.size());
    ASSERT_TRUE(manager && manager->timeGenerated == 1700000000 &&
                IsUnexpectedEnd(*manager, "Quenthal", "q"));
    EXPECT_FALSE(IsUnexpectedEnd(*manager, "Other", "O") || IsOwnError(*manager, "Quenthal"));
    EXPECT_EQ(InsertedText(*manager),
              "The Q service terminated unexpectedly. It has done this 3 time(s). The following "
              "corrective action will be taken in 5 milliseconds: Go.");
    const auto said = Record(L"Quenthal", 1, {L"bind", L"80"});
    const auto own = DecodeEventRecord(said.data(), said.size());
    EXPECT_TRUE(own && IsOwnError(*own, "quenthal") && InsertedText(*own) == "bind\n80");
    EXPECT_FALSE(DecodeEventRecord(said.data(), said.size() - 1));  // cut short

    auto found = LastWords::Found::Line;
    const Lifetime asking;
    EXPECT_TRUE(RunMainLoop(std::chrono::seconds(10), [&] {
        AskLastWords({"Quenthal"}, asking.watch(), [&](const LastWords& got) {
            found = wxThread::IsMain() ? got.found : found, wxTheApp->ExitMainLoop();
        });
    }));
    EXPECT_EQ(found, LastWords::Found::Nothing);
}
