// The status record's byte layout: what the stand-in service writes is what the tray reads back,
// at the offsets and in the byte order a service on any host uses.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "service/service_status.h"
#include "status_server.h"

namespace {

std::uint64_t BytesAt(const ServiceStatus& record, std::size_t offset, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | record.bytes[offset + i];
    return value;
}

}  // namespace

TEST(StatusRecord, EveryFieldAtItsOffsetLittleEndian) {
    const ServiceStatus record =
        MakeRecord(u"3.4.1", 0x01020304, 443, 554, 0x7FFFFFFF, 0x0102030405060708);

    EXPECT_EQ(record.bytes[132], 0x04);  // least significant byte first
    EXPECT_EQ(record.bytes[135], 0x01);
    EXPECT_EQ(BytesAt(record, 136, 4), 443u);
    EXPECT_EQ(BytesAt(record, 140, 4), 554u);
    EXPECT_EQ(BytesAt(record, 144, 4), 0x7FFFFFFFu);
    EXPECT_EQ(record.bytes[152], 0x08);
    EXPECT_EQ(BytesAt(record, 152, 8), 0x0102030405060708u);
    EXPECT_EQ(record.bytes[66], '3');  // UTF-16LE: the character, then its high byte
    EXPECT_EQ(record.bytes[67], 0);
    EXPECT_EQ(BytesAt(record, 76, 2), 0u) << "the text is NUL-terminated";
    for (std::size_t i : {0u, 65u, 148u, 151u}) EXPECT_EQ(record.bytes[i], 0) << "reserved " << i;

    EXPECT_EQ(record.version(), "3.4.1");
    EXPECT_EQ(record.httpPort(), 0x01020304);
    EXPECT_EQ(record.httpsPort(), 443);
    EXPECT_EQ(record.rtspPort(), 554);
    EXPECT_EQ(record.remotePort(), 0x7FFFFFFF);
    EXPECT_EQ(record.lastUpdate(), 0x0102030405060708);
}

TEST(StatusRecord, NegativeValuesAndTheAllZeroRecord) {
    const ServiceStatus negative = MakeRecord(u"", -5, -1, INT32_MIN, -443, -1);
    EXPECT_EQ(negative.httpPort(), -5);
    EXPECT_EQ(negative.httpsPort(), -1);
    EXPECT_EQ(negative.rtspPort(), INT32_MIN);
    EXPECT_EQ(negative.remotePort(), -443);
    EXPECT_EQ(negative.lastUpdate(), -1);
    EXPECT_EQ(BytesAt(negative, 152, 8), UINT64_MAX);

    const ServiceStatus zero;
    EXPECT_EQ(zero.version(), "");
    EXPECT_EQ(zero.httpPort(), 0);
    EXPECT_EQ(zero.remotePort(), 0);
    EXPECT_EQ(zero.lastUpdate(), 0);
    EXPECT_EQ(MakeRecord(u"", 0, 0, 0, 0, 0), zero);
}

TEST(StatusRecord, VersionFillingAllUnitsStopsAtTheFieldsEnd) {
    const std::u16string full = u"0123456789abcdefghijklmnopqrstuvw";
    ASSERT_EQ(full.size(), 33u);
    // 'A' in the HTTP port would show up as a 34th character if decoding ran past the field.
    const ServiceStatus record = MakeRecord(full, 'A', 0, 0, 0, 0);
    EXPECT_EQ(BytesAt(record, 130, 2), u'w') << "no room for a NUL";
    EXPECT_EQ(record.version(), "0123456789abcdefghijklmnopqrstuvw");
    EXPECT_EQ(record.httpPort(), 'A');

    // A longer text is cut to the field and never spills into the port.
    EXPECT_EQ(MakeRecord(full + u"xyz", 'A', 0, 0, 0, 0), record);
}

TEST(StatusRecord, VersionDecodingOfUtf16) {
    // U+1F600 as a surrogate pair is one character.
    EXPECT_EQ(MakeRecord(u"v\U0001F600", 0, 0, 0, 0, 0).version(),
              wxString::FromUTF8("v\xF0\x9F\x98\x80"));
    EXPECT_EQ(MakeRecord(u"5.0 \u03B2", 0, 0, 0, 0, 0).version(),
              wxString::FromUTF8("5.0 \xCE\xB2"));

    const wxString replacement = wxString::FromUTF8("\xEF\xBF\xBD");
    const std::u16string loneHigh{u'a', char16_t(0xD83D), u'b'};
    const std::u16string loneLow{u'a', char16_t(0xDE00), u'b'};
    const std::u16string swapped{char16_t(0xDE00), char16_t(0xD83D)};
    EXPECT_EQ(MakeRecord(loneHigh, 0, 0, 0, 0, 0).version(), "a" + replacement + "b");
    EXPECT_EQ(MakeRecord(loneLow, 0, 0, 0, 0, 0).version(), "a" + replacement + "b");
    EXPECT_EQ(MakeRecord(swapped, 0, 0, 0, 0, 0).version(), replacement + replacement);

    // A high surrogate in the last unit has no partner inside the field: never paired with the
    // port's bytes after it.
    std::u16string endsHigh(32, u'x');
    endsHigh += char16_t(0xD83D);
    const ServiceStatus record = MakeRecord(endsHigh, 0xDE00, 0, 0, 0, 0);
    EXPECT_EQ(record.version(), wxString(32, 'x') + replacement);

    // Text after the first NUL is not part of the version.
    EXPECT_EQ(MakeRecord(std::u16string(u"1.0\0junk", 8), 0, 0, 0, 0, 0).version(), "1.0");
}
