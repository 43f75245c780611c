// The flash profile reader: line shapes, sections, cycle lists and where reading stops.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "flash/FlashProfile.h"
#include "platform/testing/RecordingNotifier.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using List = std::vector<int32_t>;

struct ReaderCase {
    ReaderCase(const char* name, std::string text, std::function<void(const FlashProfile&)> check,
               std::vector<std::string> messages = {})
        : name(name),
          text(std::move(text)),
          check(std::move(check)),
          messages(std::move(messages)) {}

    const char* name;
    std::string text;
    std::function<void(const FlashProfile&)> check;
    std::vector<std::string> messages;
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
    *out << c.name;
}

class FlashProfileReading : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(FlashProfileReading, StoresWhatTheLinesSayAndShowsItsMessages) {
    const ReaderCase& c = GetParam();
    RecordingNotifier notifier;
    FlashProfile profile;
    profile.chipType = 99;  // reading starts from the defaults
    ReadFlashProfileText(c.text, profile, notifier);
    c.check(profile);
    EXPECT_EQ(notifier.texts(), c.messages);
}

const FlashProfile kDefaults{};

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, FlashProfileReading,
    ::testing::Values(
        ReaderCase{"SectionNamesAreCaseInsensitiveAndAnyKeyServes", "[Chip Type]\ntype = 3\n",
                   [](const FlashProfile& p) { EXPECT_EQ(p.chipType, 3); }},
        ReaderCase{"FlashModelIsTheFirstWordKeptAsText", "[ flash modle ]\nMAIN bottom\n",
                   [](const FlashProfile& p) { EXPECT_EQ(p.flashModel, "MAIN"); }},
        ReaderCase{"CycleLinesBeforeTheOpeningKeyAreIgnored",
                   "[sector erase cycle]\naddr1 = 0x10\nerasecycles = 6\naddr2 = 0x20\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.eraseCycleCount, 6);
                       EXPECT_EQ(p.eraseAddresses, List{0x20});
                   }},
        ReaderCase{"KeysAreLowerCasedAndTextAfterTheValueIgnored",
                   "[time]\nMaxWriteBack = 500 ; ms\n",
                   [](const FlashProfile& p) { EXPECT_EQ(p.maxWriteBack, 500); }},
        ReaderCase{"AKeyLineWithoutEqualsSignStopsTheReading",
                   "[block size]\n4096\n[chip type]\ntype=7\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.blockSize, 4096);
                       EXPECT_EQ(p.chipType, 1);
                   },
                   {"can't find the symbol of = in 4096"}},
        ReaderCase{"ReservedSectorsAreWordLines", "[reserved sector]\n0x0000\n0x1000\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.reservedSectors, (List{0, 0x1000}));
                   }},
        ReaderCase{"AHeaderWithoutClosingBracketStopsTheReading",
                   "[chip type]\ntype = 2\n[block  size\n[chip type]\ntype = 5\n",
                   [](const FlashProfile& p) { EXPECT_EQ(p.chipType, 2); },
                   {"can't find the symbol of ] in [block size"}},
        ReaderCase{"CommentsBlankLinesAndLinesBeforeAnyHeaderAreIgnored",
                   "type = 9\nno equals here\n\n; [chip type]\n// x\n   \n[chip type]\n"
                   "// type = 4\n; type = 4\ntype = 3\n",
                   [](const FlashProfile& p) { EXPECT_EQ(p.chipType, 3); }},
        ReaderCase{"TabsAndBlanksAroundTheEqualsSignCollapse",
                   "[sector erase cycle]\nerasecycles\t\t=\t6\n\t addr \t= 5 \t\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.eraseCycleCount, 6);
                       EXPECT_EQ(p.eraseAddresses, List{5});
                   }},
        ReaderCase{"UnknownSectionsAreIgnoredWithoutChecks",
                   "[colours]\nno equals sign\n[another\n",
                   [](const FlashProfile& p) { EXPECT_EQ(p, kDefaults); },
                   {"can't find the symbol of ] in [another"}},
        ReaderCase{"AnEmptyTextKeepsEveryDefault", "",
                   [](const FlashProfile& p) { EXPECT_EQ(p, kDefaults); }},
        ReaderCase{"WriteModeIsTrueForAnyValueButZero", "[write modle]\nm = 2\n",
                   [](const FlashProfile& p) { EXPECT_TRUE(p.bufferedWrite); }},
        ReaderCase{"ABadNumberIsShownReadAsZeroAndReadingGoesOn",
                   "[write modle]\nm = 1\nm = xyz\n[block size]\nb = 0x1G\n[chip type]\nt = 4\n",
                   [](const FlashProfile& p) {
                       EXPECT_FALSE(p.bufferedWrite);
                       EXPECT_EQ(p.blockSize, 0);
                       EXPECT_EQ(p.chipType, 4);
                   },
                   {"invalid decimal expression: XYZ", "invalid hex expression: 1G"}},
        ReaderCase{"CarriageReturnsEndLinesAndByte1AEndsTheText",
                   std::string("[chip type]\r\ntype = 3\r\n\x1A[chip type]\r\ntype = 4\r\n"),
                   [](const FlashProfile& p) { EXPECT_EQ(p.chipType, 3); }},
        ReaderCase{"TheLastLineNeedsNoLineEnd", "[block size]\nb=0x800",
                   [](const FlashProfile& p) { EXPECT_EQ(p.blockSize, 0x800); }},
        ReaderCase{"KeysContainingAddrOrDataBuildTheLists",
                   "[program cycle]\nprogramcycles=2\ncycle1addr=1\nfirstdata=2\naddrdata=3\n"
                   "other=4\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.programAddresses, (List{1, 3}));
                       EXPECT_EQ(p.programData, (List{2, 3}));
                   }},
        ReaderCase{"AHeaderClosesTheListAndARepeatedSectionAppends",
                   "[program cycle]\nprogramcycles=1\naddr=1\n[program cycle]\naddr=2\n"
                   "programcycles=3\naddr=3\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.programCycleCount, 3);
                       EXPECT_EQ(p.programAddresses, (List{1, 3}));
                   }},
        ReaderCase{"WriteBufferListOpensWithSa2AndNamedKeysStandAnywhere",
                   "[write buffer cycle]\naddr=9\nwritebuffercycles=1\nwritebuffercount=7\n"
                   "writebufferpa1=1\nwritebufferpa2=2\nwritebuffersa1=3\nwritebuffersa2=4\n"
                   "addr=0x555\ndata=0xAA\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.writeBufferCycleCount, 1);
                       EXPECT_EQ(p.writeBufferCount, 7);
                       EXPECT_EQ(p.writeBufferPa1, 1);
                       EXPECT_EQ(p.writeBufferPa2, 2);
                       EXPECT_EQ(p.writeBufferSa1, 3);
                       EXPECT_EQ(p.writeBufferSa2, 4);
                       EXPECT_EQ(p.writeBufferAddresses, List{0x555});
                       EXPECT_EQ(p.writeBufferData, List{0xAA});
                   }},
        ReaderCase{"ProgramBufferListOpensWithSa2",
                   "[program buffer cycle]\ndata=5\nprogrambuffersa2=9\nprogrambuffersa1=8\n"
                   "programbuffercycles=1\ndata=6\naddr=7\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.programBufferSa1, 8);
                       EXPECT_EQ(p.programBufferSa2, 9);
                       EXPECT_EQ(p.programBufferData, List{6});
                       EXPECT_EQ(p.programBufferAddresses, List{7});
                   }},
        ReaderCase{"NamedKeysOfSingleValueSectionsOnly",
                   "[file offset]\noffset=5\nfileoffset=6\n[flash reset]\nresetaddr=1\n"
                   "resetdata=2\nother=3\n[time]\nmaxsectorerasetime=-1\n[data]\nv=0x00FF\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.fileOffset, 6);
                       EXPECT_EQ(p.resetAddress, 1);
                       EXPECT_EQ(p.resetData, 2);
                       EXPECT_EQ(p.maxSectorEraseTime, -1);
                       EXPECT_EQ(p.eraseCheckValue, 0xFF);
                   }},
        ReaderCase{"SectorAddressesInOrder", "[sector address list]\n0\n1000h\n0x2000 last\n",
                   [](const FlashProfile& p) {
                       EXPECT_EQ(p.sectorAddresses, (List{0, 0x1000, 0x2000}));
                   }}),
    [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

TEST(CollapseBlanks, TrimsTheEndsAndMakesInnerRunsOfBlanksOneSpace) {
    EXPECT_EQ(CollapseBlanks(" \t a \t\t b  c\r"), "a b c");
    EXPECT_EQ(CollapseBlanks("\r\n\v\f"), "");
    EXPECT_EQ(CollapseBlanks("a\tb"), "a b");
}

TEST(FlashProfileFile, AFileThatCannotBeOpenedIsShownAndLeavesTheProfileAlone) {
    testing::TempFolder folder;
    RecordingNotifier notifier;
    FlashProfile profile;
    profile.chipType = 42;
    EXPECT_FALSE(ReadFlashProfileFile(folder.path("none.ini"), profile, notifier));
    EXPECT_EQ(profile.chipType, 42);
    EXPECT_EQ(notifier.messages(),
              (std::vector<Message>{{kApplicationTitle, "can't open the configure file R2.ini ",
                                     MessageButtons::Ok, MessageIcon::None}}));

    const std::string path = folder.path("R2.ini");
    std::ofstream(path, std::ios::binary) << "[chip type]\r\ntype = 0x1203\r\n";
    EXPECT_TRUE(ReadFlashProfileFile(path, profile, notifier));
    EXPECT_EQ(profile.chipType, 0x1203);
    EXPECT_EQ(profile.blockSize, 4096);
}

}  // namespace
}  // namespace harmoload
