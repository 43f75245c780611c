// The rules of our private-profile reader, one per test. The Windows build compares the same
// reader with GetPrivateProfileStringW on a large corpus (ini_reader_matches_windows).

#include "platform/PrivateProfileReader.h"

#include <gtest/gtest.h>

namespace harmoload {
namespace {

std::u16string Read(std::u16string_view text, std::u16string_view section, std::u16string_view key,
                    std::u16string_view defaultText = u"<default>", uint32_t size = 256) {
    const ProfileDocument document = ParsePrivateProfile(text);
    std::u16string buffer(size + 1, u'#');
    const uint32_t length =
        CopyProfileString(&document, section, key, defaultText, buffer.data(), size);
    EXPECT_EQ(buffer[length], u'\0');
    return buffer.substr(0, length);
}

TEST(PrivateProfileReader, NamesMatchWithoutRegardToAsciiCase) {
    EXPECT_EQ(Read(u"[StringTable]\nIDS_A=x", u"stringtable", u"ids_a"), u"x");
    // Only ASCII letters fold.
    EXPECT_EQ(Read(u"[\u00c9]\nk=x", u"\u00e9", u"k"), u"<default>");
}

TEST(PrivateProfileReader, FirstSectionAndFirstKeyOfANameWin) {
    const std::u16string text = u"[A]\nk=1\nK=2\n[B]\nb=3\n[a]\nk=4\nonly=5\n";
    EXPECT_EQ(Read(text, u"A", u"k"), u"1");
    // A key that only a later section of the same name holds is not found.
    EXPECT_EQ(Read(text, u"A", u"only"), u"<default>");
}

TEST(PrivateProfileReader, BlanksAroundNamesAndValuesAreTrimmed) {
    const std::u16string text = u"  [S]  \r\n \t key \t=\t value with  inner \t\r\n";
    EXPECT_EQ(Read(text, u" S ", u" key "), u"value with  inner");
    // Blanks inside the brackets belong to the section's name.
    EXPECT_EQ(Read(u"[ S ]\nk=v", u"S", u"k"), u"<default>");
}

TEST(PrivateProfileReader, OnePairOfMatchingQuotesIsRemoved) {
    const std::u16string text =
        u"[Q]\nd=\"  both  \"\ns='x'\nmixed=\"x'\nlone=\"\nempty=\"\"\ntwice=\"\"x\"\"";
    EXPECT_EQ(Read(text, u"Q", u"d"), u"  both  ");
    EXPECT_EQ(Read(text, u"Q", u"s"), u"x");
    EXPECT_EQ(Read(text, u"Q", u"mixed"), u"\"x'");
    EXPECT_EQ(Read(text, u"Q", u"lone"), u"\"");
    EXPECT_EQ(Read(text, u"Q", u"empty"), u"");
    EXPECT_EQ(Read(text, u"Q", u"twice"), u"\"x\"");
}

TEST(PrivateProfileReader, CommentsAreOrdinaryLines) {
    const std::u16string text = u"[C]\n;k=commented\nk=value ; not a comment\n";
    EXPECT_EQ(Read(text, u"C", u"k"), u"value ; not a comment");
    EXPECT_EQ(Read(text, u"C", u";k"), u"commented");
}

TEST(PrivateProfileReader, ALineWithoutEqualsSignIsAKeyWithoutValue) {
    const std::u16string text = u"[N]\nalone\nalone=later\nempty=\n";
    EXPECT_EQ(Read(text, u"N", u"alone"), u"<default>");
    EXPECT_EQ(Read(text, u"N", u"empty"), u"");
}

TEST(PrivateProfileReader, KeysBeforeTheFirstSectionBelongToTheNamelessOne) {
    EXPECT_EQ(Read(u"k=early\n[S]\nk=late", u"", u"k"), u"early");
    EXPECT_EQ(Read(u"k=early\n[S]\nk=late", u"S", u"k"), u"late");
}

TEST(PrivateProfileReader, CarriageReturnAloneEndsALine) {
    EXPECT_EQ(Read(u"[S]\rk=v\rj=w", u"S", u"j"), u"w");
}

TEST(PrivateProfileReader, TheDefaultLosesTrailingSpacesButNotItsFirstCharacter) {
    EXPECT_EQ(Read(u"", u"S", u"k", u"d  "), u"d");
    EXPECT_EQ(Read(u"", u"S", u"k", u"   "), u" ");
    EXPECT_EQ(Read(u"", u"S", u"k", u"\"q\""), u"q");
}

TEST(PrivateProfileReader, AFileThatCannotBeOpenedGivesTheDefaultAsItIs) {
    char16_t buffer[16];
    EXPECT_EQ(CopyProfileString(nullptr, u"S", u"k", u"\"q\"  ", buffer, 16), 3u);
    EXPECT_EQ(std::u16string(buffer), u"\"q\"");
}

TEST(PrivateProfileReader, ASmallBufferTakesSizeMinusOneUnits) {
    EXPECT_EQ(Read(u"[S]\nk=abcdef", u"S", u"k", u"", 4), u"abc");
    EXPECT_EQ(Read(u"[S]\nk=abcdef", u"S", u"k", u"", 1), u"");
    // A quoted value that does not fit keeps its closing quote out only when it fits whole.
    EXPECT_EQ(Read(u"[S]\nk=\"abcdef\"", u"S", u"k", u"", 4), u"abc");
    EXPECT_EQ(Read(u"[S]\nk=\"abcdef\"", u"S", u"k", u"", 7), u"abcde");
}

TEST(PrivateProfileReader, EncodingFollowsTheByteOrderMark) {
    EXPECT_EQ(DecodeProfileText(std::string("\xFF\xFEk\0=\0\x2D\x4E", 8)), u"k=\u4e2d");
    EXPECT_EQ(DecodeProfileText(std::string("\xFE\xFF\0k\0=\x4E\x2D", 8)), u"k=\u4e2d");
    EXPECT_EQ(DecodeProfileText("\xEF\xBB\xBFk=\xE4\xB8\xAD"), u"k=\u4e2d");
    EXPECT_EQ(DecodeProfileText("k=v"), u"k=v");
    // An odd trailing byte of UTF-16 text is dropped, not read past.
    EXPECT_EQ(DecodeProfileText(std::string("\xFF\xFEk\0=", 5)), u"k");
}

TEST(PrivateProfileReader, AZeroUnitEndsANameOrValue) {
    const std::u16string text = std::u16string(u"[S]\nk=before") + u'\0' + u"after\n";
    EXPECT_EQ(Read(text, u"S", u"k"), u"before");
}

}  // namespace
}  // namespace harmoload
