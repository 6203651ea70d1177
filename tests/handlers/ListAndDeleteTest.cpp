#include <filesystem>
#include <string>

#include "InProcessServer.h"
#include "platform/Paths.h"

namespace varo::test {
namespace {

using Strings = std::vector<std::string>;

// Positions below 255 go out as 00 p, which the server reads back as p.
RequestFields ListRequest(std::uint8_t game, std::uint8_t first, std::uint8_t last) {
  return {.Command = 510, .SubCommand = 1, .Payload = {game, 0, first, 0, last}};
}

RequestFields DeleteRequest(std::uint8_t game, std::uint8_t code) {
  return {.Command = 510, .SubCommand = 2, .Payload = {game, 0, 0, 0, code}};
}

// Three columns of 4 combinations each, the first flagged with 2 side combinations: total 700.
std::string SmallTotocalcioSystem() {
  return Column(0x01, {{0, 0x03}, {13, 0x03}, {8, 0x81}}) + Column(0x01, {{0, 0x03}, {1, 0x03}}) +
         Column(0x01, {{0, 0x03}, {1, 0x03}});
}

using ListTest = InProcessServer;

TEST_F(ListTest, EmptyFolderAnswersNotFoundWithGameByteAndCountZero) {
  const auto reply = Exchange(ListRequest(1, 1, 9));
  ASSERT_TRUE(reply);
  EXPECT_EQ(DataLengthOf(*reply), 4);
  EXPECT_EQ(PayloadOf(*reply), (Bytes{0x03, 0x66, 0x01, 0x00}));
  EXPECT_EQ(Bodies(), (Strings{"Richiesta lista Totocalcio", "Elenco inviato (0)"}));
}

TEST_F(ListTest, RangesSelectByOneBasedPositionWithinTheListing) {
  WriteSystem(1, "c.tcl.3", "");
  WriteSystem(1, "a.tcl.1", "");
  WriteSystem(1, "B.tcl.2", "");

  const auto inside = Exchange(ListRequest(1, 2, 9));
  ASSERT_TRUE(inside);
  ASSERT_EQ(DataLengthOf(*inside), 68);
  ASSERT_EQ(inside->size(), 23u + 68u);
  const Bytes payload = PayloadOf(*inside);
  EXPECT_EQ(Slice(payload, 0, 4), (Bytes{0x00, 0x01, 0x01, 0x03}));
  EXPECT_EQ(Slice(payload, 4, 24), Concat({{0, 0, 0, 2}, NameField("B.tcl.2")}));
  EXPECT_EQ(Slice(payload, 36, 24), Concat({{0, 0, 0, 3}, NameField("c.tcl.3")}));

  const auto pastEnd = Exchange(ListRequest(1, 4, 9));
  ASSERT_TRUE(pastEnd);
  EXPECT_EQ(PayloadOf(*pastEnd), (Bytes{0x03, 0x66, 0x01, 0x03}));

  const auto fromZero = Exchange(ListRequest(1, 0, 1));
  ASSERT_TRUE(fromZero);
  ASSERT_EQ(DataLengthOf(*fromZero), 36);
  EXPECT_EQ(Slice(PayloadOf(*fromZero), 4, 24), Concat({{0, 0, 0, 1}, NameField("a.tcl.1")}));

  const auto backwards = Exchange(ListRequest(1, 3, 2));
  ASSERT_TRUE(backwards);
  EXPECT_EQ(DataLengthOf(*backwards), 4);

  const Strings bodies = Bodies();
  ASSERT_EQ(bodies.size(), 8u);
  for (std::size_t i = 1; i < bodies.size(); i += 2) EXPECT_EQ(bodies[i], "Elenco inviato (3)");
}

TEST_F(ListTest, EntryCarriesCodeNameDateAndTotalCost) {
  const std::string path = WriteSystem(1, "Ruota.tcl.12", SmallTotocalcioSystem());
  SetModifiedDate(path, 2006, 3, 15);
  const auto reply = Exchange(ListRequest(1, 1, 1));
  ASSERT_TRUE(reply);
  EXPECT_EQ(PayloadOf(*reply), Concat({{0x00, 0x01, 0x01, 0x01},
                                       {0x00, 0x00, 0x00, 0x0C},
                                       NameField("Ruota.tcl.12"),
                                       {0x07, 0xD6, 0x03, 0x0F},
                                       {0x00, 0x00, 0x02, 0xBC}}));
}

TEST_F(ListTest, NamesAreCutOrPaddedToTwentyAndUnreadableCodesAreMinusOne) {
  WriteSystem(1, "ab.tcl.123", "");
  WriteSystem(1, "Ventiquattro.tcl.12345678", "");
  WriteSystem(1, "nocode.tcl.abc", "");
  const auto reply = Exchange(ListRequest(1, 1, 3));
  ASSERT_TRUE(reply);
  const Bytes payload = PayloadOf(*reply);
  ASSERT_EQ(payload.size(), 100u);
  EXPECT_EQ(Slice(payload, 4, 24), Concat({{0x00, 0x00, 0x00, 0x7B}, NameField("ab.tcl.123")}));
  EXPECT_EQ(Slice(payload, 36, 24),
            Concat({{0x00, 0x00, 0xFF, 0xFF}, NameField("nocode.tcl.abc")}));
  // 12345678 = 188 * 65535 + 25098.
  EXPECT_EQ(Slice(payload, 68, 24),
            Concat({{0x00, 0xBC, 0x62, 0x0A}, NameField("Ventiquattro.tcl.123")}));
}

TEST_F(ListTest, CountIsTakenModulo256InTheReplyButWholeInTheLog) {
  for (int i = 0; i < 300; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "s%03d.tcl.%d", i, i);
    WriteSystem(1, name, "");
  }
  // Positions 300..300 go out as 01 2D (1 * 255 + 45).
  const auto reply = Exchange({.Command = 510, .SubCommand = 1, .Payload = {1, 1, 45, 1, 45}});
  ASSERT_TRUE(reply);
  const Bytes payload = PayloadOf(*reply);
  ASSERT_EQ(payload.size(), 36u);
  EXPECT_EQ(payload[3], 44);
  EXPECT_EQ(Slice(payload, 4, 24), Concat({{0x00, 0x00, 0x01, 0x2B}, NameField("s299.tcl.299")}));
  EXPECT_EQ(Bodies().back(), "Elenco inviato (300)");
}

TEST_F(ListTest, RangeOfMoreThan62FilesIsAnsweredWithItsFirst62) {
  for (int i = 0; i < 70; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "s%02d.tcl.%d", i, i);
    WriteSystem(1, name, "");
  }
  const auto reply = Exchange({.Command = 510, .SubCommand = 1, .Payload = {1, 0, 1, 0xFF, 0xFF}});
  ASSERT_TRUE(reply);
  ASSERT_EQ(DataLengthOf(*reply), 1988);
  ASSERT_EQ(reply->size(), 23u + 1988u);
  const Bytes payload = PayloadOf(*reply);
  EXPECT_EQ(Slice(payload, 0, 4), (Bytes{0x00, 0x01, 0x01, 70}));
  EXPECT_EQ(Slice(payload, 4 + 61 * 32, 24), Concat({{0, 0, 0, 61}, NameField("s61.tcl.61")}));
  EXPECT_EQ(Bodies().back(), "Elenco inviato (70)");

  // The client pages on from position 63.
  const auto rest = Exchange(ListRequest(1, 63, 0xFF));
  ASSERT_TRUE(rest);
  ASSERT_EQ(DataLengthOf(*rest), 4 + 8 * 32);
  EXPECT_EQ(Slice(PayloadOf(*rest), 4, 24), Concat({{0, 0, 0, 62}, NameField("s62.tcl.62")}));
}

TEST_F(ListTest, AnyGameByteButOneListsTotogolAndComesBack) {
  WriteSystem(1, "t.tcl.3", "");
  WriteSystem(2, "g.gcl.4", "");
  const auto reply = Exchange(ListRequest(7, 1, 9));
  ASSERT_TRUE(reply);
  const Bytes payload = PayloadOf(*reply);
  ASSERT_EQ(payload.size(), 36u);
  EXPECT_EQ(Slice(payload, 0, 4), (Bytes{0x00, 0x01, 0x07, 0x01}));
  EXPECT_EQ(Slice(payload, 4, 24), Concat({{0, 0, 0, 4}, NameField("g.gcl.4")}));
  EXPECT_EQ(Bodies(), (Strings{"Richiesta lista Totogol", "Elenco inviato (1)"}));
}

TEST_F(ListTest, ReplyHeaderIsTheRequestsWithExtraLengthZero) {
  RequestFields request = ListRequest(1, 1, 9);
  request.Extra = {0xE1, 0xE2};
  request.Tag = 0x5A;
  const auto reply = Exchange(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 0x5A);
  EXPECT_EQ(ExtraLengthOf(*reply), 0);
  EXPECT_EQ(reply->size(), 23u + 4u);
}

using DeleteTest = InProcessServer;

TEST_F(DeleteTest, ExistingCodeIsDeletedOnceThenNotFound) {
  const std::string path = WriteSystem(1, "Ruota.tcl.12", SmallTotocalcioSystem());
  RequestFields request = DeleteRequest(1, 12);
  request.Extra = {0x01, 0x02, 0x03};

  const auto first = Exchange(request);
  ASSERT_TRUE(first);
  EXPECT_EQ(DataLengthOf(*first), 2);
  EXPECT_EQ(ExtraLengthOf(*first), 3);
  EXPECT_EQ(PayloadOf(*first), (Bytes{0x00, 0x01}));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(path, JoinPath(folders.TotocalcioFolder, "Ruota.tcl.12"));

  const auto second = Exchange(request);
  ASSERT_TRUE(second);
  EXPECT_EQ(PayloadOf(*second), (Bytes{0x03, 0x66}));
  EXPECT_EQ(ExtraLengthOf(*second), 3);
  EXPECT_EQ(Bodies(),
            (Strings{"Richiesta cancellazione " + path, "Cancellazione " + path + " effettuata",
                     "Richiesta cancellazione "}));
}

TEST_F(DeleteTest, GameByteSelectsTheFolderSearched) {
  const std::string totogol = WriteSystem(2, "g.gcl.12", "");
  const std::string totocalcio = WriteSystem(1, "t.tcl.12", "");
  const auto reply = Exchange(DeleteRequest(9, 12));
  ASSERT_TRUE(reply);
  EXPECT_EQ(PayloadOf(*reply), (Bytes{0x00, 0x01}));
  EXPECT_FALSE(std::filesystem::exists(totogol));
  EXPECT_TRUE(std::filesystem::exists(totocalcio));
}

using FailureTest = InProcessServer;

TEST_F(FailureTest, MissingGameFolderGetsNoReplyAndNoLogLine) {
  std::filesystem::remove(folders.TotogolFolder);
  EXPECT_TRUE(Unanswered(ListRequest(2, 1, 9)));
  EXPECT_TRUE(Unanswered(DeleteRequest(2, 1)));
  EXPECT_TRUE(Unanswered({.Command = 530, .SubCommand = 3, .Payload = {0, 0, 0, 1}}));
  EXPECT_TRUE(Unanswered({.Command = 530, .SubCommand = 4, .Payload = {0, 0, 0, 1, 0, 1}}));
  EXPECT_TRUE(log.Lines.empty());

  const auto next = Exchange(ListRequest(1, 1, 9));
  ASSERT_TRUE(next);
  EXPECT_EQ(PayloadOf(*next), (Bytes{0x03, 0x66, 0x01, 0x00}));
  EXPECT_EQ(log.Lines.size(), 2u);
}

TEST_F(FailureTest, ControlBytesInNamesShowAsQuestionMarks) {
  // U+2029, U+2028 and U+0085 end a line in a text view too: one "?" each. (Bytes below 0x20,
  // which no Windows name holds, are tested with the POSIX cases.)
  WriteSystem(1,
              "a\x7f"
              "b\xE2\x80\xA9"
              "c\xE2\x80\xA8"
              "d\xC2\x85"
              "e.tcl.5",
              "");
  const auto reply = Exchange({.Command = 520, .SubCommand = 1, .Payload = {0, 0, 0, 5}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(Bodies(), (Strings{"Richiesta informazioni a?b?c?d?e.tcl.5", "Informazioni inviate"}));
  const auto deleted = Exchange(DeleteRequest(1, 5));
  ASSERT_TRUE(deleted);
  ASSERT_EQ(log.Lines.size(), 4u);
  EXPECT_EQ(Bodies()[2],
            "Richiesta cancellazione " + JoinPath(folders.TotocalcioFolder, "a?b?c?d?e.tcl.5"));
}

}  // namespace
}  // namespace varo::test
