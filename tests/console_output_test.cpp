#include "output/console_output.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/stdout_capture.h"

namespace {

struct MessageCase {
  const char* title;
  std::array<std::wstring, 3> pieces;  // the pieces of one message; missing ones are empty
  std::string bytes;                   // as they reach a file through the runtime's text mode
  ByteEncoder encode = LatinOneBytes;
};

void PrintTo(const MessageCase& row, std::ostream* out) { *out << row.title; }

class Message : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Message, BecomesExactlyTheseBytes) {
  const MessageCase& row = GetParam();
  StdoutCapture capture;
  PrintMessage(row.encode, {row.pieces[0], row.pieces[1], row.pieces[2]});
  EXPECT_EQ(row.bytes, capture.Finish());
}

// The runtime's buffer for standard output holds 4096 bytes.
const std::wstring kBuffer(4096, L'x');
// The writer hands on a message in pieces of 512 units.
const std::wstring kPiece(512, L'x');
const std::wstring kHeadphones = L"\U0001F3A7";
const std::string kHeadphonesUtf8 = "\xF0\x9F\x8E\xA7";

std::string Repeated(const std::string& text, int times) {
  std::string all;
  while (times-- > 0) {
    all += text;
  }
  return all;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    LatinOne, Message,
    ::testing::Values(
        MessageCase{"PiecesInOrderEmptyOnesIncluded", {L"Play", L"", L"back"}, "Playback"},
        MessageCase{"LineFeedBecomesCrLf", {L"one\ntwo\n"}, "one\r\ntwo\r\n"},
        MessageCase{"LatinOneAsItsOwnByte", {L"R\u00E9altek \u0080\u00FF"}, "R\xE9" "altek \x80\xFF"},
        MessageCase{"AboveLatinOneAsQuestionMark", {L"\u0100 \u626C\u58F0\u5668"}, "? ???"},
        MessageCase{"OutsideBasicPlaneAsTwoAndHalvesAsOne", {L"\U0001F3A7 \xD800|\xDFFF"},
                    "?? ?|?"},
        MessageCase{"PercentSignsAreNoFormat", {L"100% %s %n %08X"}, "100% %s %n %08X"},
        MessageCase{"ControlCharactersAndNulAsThemselves", {std::wstring(L"\t\r\x07\0.", 5)},
                    std::string("\t\r\x07\0.", 5)},
        MessageCase{"OneUnitShortOfAPiece", {kPiece.substr(1)}, std::string(511, 'x')},
        MessageCase{"ExactlyOnePiece", {kPiece}, std::string(512, 'x')},
        MessageCase{"OnePieceAndOneUnit", {kPiece, L"\u00FF"}, std::string(512, 'x') + "\xFF"},
        MessageCase{"PairAcrossPiecesAsTwo", {kPiece.substr(1), kHeadphones, L"\n"},
                    std::string(511, 'x') + "??\r\n"},
        MessageCase{"FillsTheRuntimesBuffer", {kBuffer}, std::string(4096, 'x')},
        MessageCase{"OneByteMoreThanItsBuffer", {kBuffer, L"\u0100", L"\n"},
                    std::string(4096, 'x') + "?\r\n"},
        MessageCase{"ManyPieces", {std::wstring(40000, L'y') + L"\n\u00FF"},
                    std::string(40000, 'y') + "\r\n\xFF"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.title; });

// Each length at its edges; half a pair, alone or out of order, is U+FFFD.
INSTANTIATE_TEST_SUITE_P(
    Utf8, Message,
    ::testing::Values(
        MessageCase{"OneToFourBytes", {L"A\u00E9\u0414\u626C" + kHeadphones + L"\n"},
                    "A\xC3\xA9\xD0\x94\xE6\x89\xAC" + kHeadphonesUtf8 + "\r\n", Utf8Bytes},
        MessageCase{"EachLengthAtItsEdges", {L"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF"},
                    "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
                    Utf8Bytes},
        MessageCase{"LoneHighSurrogate", {L"a\xD800", L"b\xDBFF"},
                    "a\xEF\xBF\xBD" "b\xEF\xBF\xBD", Utf8Bytes},
        MessageCase{"LoneLowSurrogate", {L"\xDC00z\xDFFF"}, "\xEF\xBF\xBDz\xEF\xBF\xBD", Utf8Bytes},
        MessageCase{"HalvesInTheWrongOrder", {L"\xDC00\xD800"}, "\xEF\xBF\xBD\xEF\xBF\xBD", Utf8Bytes},
        MessageCase{"PairAcrossPiecesWhole", {kPiece.substr(1), kHeadphones, L"\n"},
                    std::string(511, 'x') + kHeadphonesUtf8 + "\r\n", Utf8Bytes},
        // Three bytes for each unit of a piece, its buffer's whole size.
        MessageCase{"BufferExactlyFull", {std::wstring(513, L'\u626C')},
                    Repeated("\xE6\x89\xAC", 513), Utf8Bytes}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.title; });
// clang-format on

// A console that keeps what each write hands it, takes at most so many
// characters of each, and refuses every write from one of them on. The handle
// the writer passes on is the console itself.
struct FakeConsole {
  std::size_t refusedFrom = SIZE_MAX;
  std::size_t takesAtMost = SIZE_MAX;
  std::vector<std::wstring> writes;
};

BOOL WINAPI WriteToFakeConsole(HANDLE console, const VOID* characters, DWORD count, LPDWORD written,
                               LPVOID) {
  auto& fake = *static_cast<FakeConsole*>(console);
  if (fake.writes.size() >= fake.refusedFrom) {
    return FALSE;
  }
  *written = static_cast<DWORD>(std::min<std::size_t>(count, fake.takesAtMost));
  fake.writes.emplace_back(static_cast<const wchar_t*>(characters), *written);
  return TRUE;
}

struct ConsoleCase {
  const char* title;
  std::wstring message;
  std::size_t refusedFrom;           // the console's first refused write
  std::vector<std::wstring> writes;  // what the console took, write by write
  std::string bytes;                 // what went to the byte stream instead
  std::size_t takesAtMost = SIZE_MAX;
  ByteEncoder encode = LatinOneBytes;
};

void PrintTo(const ConsoleCase& row, std::ostream* out) { *out << row.title; }

class ConsoleMessage : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleMessage, ReachesTheConsoleWholeOrTheBytesOnce) {
  const ConsoleCase& row = GetParam();
  FakeConsole console{row.refusedFrom, row.takesAtMost, {}};
  StdoutCapture capture;
  WriteMessage(&console, WriteToFakeConsole, stdout, row.encode, {row.message});
  EXPECT_EQ(row.bytes, capture.Finish());
  EXPECT_EQ(row.writes, console.writes);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Characters, ConsoleMessage,
    ::testing::Values(
        ConsoleCase{"EveryCharacterWholeEachLineFeedAsCrLf",
                    L"Kopfh\u00F6rer \u0414\u0438\u043D \u626C\u58F0 " + kHeadphones + L"\n\n",
                    SIZE_MAX,
                    {L"Kopfh\u00F6rer \u0414\u0438\u043D \u626C\u58F0 " + kHeadphones + L"\r\n\r\n"},
                    ""},
        // UTF-8 is for what is not a console: a console still gets characters.
        ConsoleCase{"CharactersAlsoWhenUtf8IsAsked", L"\u626C\n", SIZE_MAX, {L"\u626C\r\n"}, "",
                    SIZE_MAX, Utf8Bytes},
        ConsoleCase{"LongMessageInPieces", kPiece + L"y\n", SIZE_MAX, {kPiece, L"y\r\n"}, ""},
        // The pair would straddle the end of the first piece: it starts the second.
        ConsoleCase{"PairNeverSplitBetweenPieces", kPiece.substr(1) + kHeadphones + L"\n", SIZE_MAX,
                    {kPiece.substr(1), kHeadphones + L"\r\n"}, ""},
        ConsoleCase{"PairEndingTheMessageStaysInItsPiece", kPiece.substr(2) + kHeadphones,
                    SIZE_MAX, {kPiece.substr(2) + kHeadphones}, ""},
        // A console that takes part of a write is handed the rest, nothing twice.
        ConsoleCase{"PartlyTakenWritesGoOnWhereTheyStopped", L"ab\ncd\n", SIZE_MAX,
                    {L"ab\r", L"\ncd", L"\r\n"}, "", 3},
        // A refused write and everything after it go out as bytes, once.
        ConsoleCase{"RefusedMessageAsBytes", L"R\u00E9altek \u626C\n", 0, {},
                    "R\xE9" "altek ?\r\n"},
        ConsoleCase{"RefusedMessageAsUtf8", L"R\u00E9altek \u626C\n", 0, {},
                    "R\xC3\xA9" "altek \xE6\x89\xAC\r\n", SIZE_MAX, Utf8Bytes},
        ConsoleCase{"RefusedSecondPieceAndTheRestAsBytes", kPiece + kPiece + L"z\n", 1, {kPiece},
                    std::string(512, 'x') + "z\r\n"},
        // What it took is counted in the characters it was handed: a line feed
        // is two there, and one taken by half goes out again as bytes.
        ConsoleCase{"RefusedAfterPartOfAPieceTheRestAsBytes", L"ab\ncd\n", 1, {L"ab\r\n"},
                    "cd\r\n", 4},
        ConsoleCase{"RefusedAfterTheCarriageReturnOfALineFeed", L"ab\ncd\n", 1, {L"ab\r"},
                    "\r\ncd\r\n", 3},
        ConsoleCase{"TakingNothingLeavesItAllAsBytes", L"ab\n", SIZE_MAX, {L""}, "ab\r\n", 0}),
    [](const ::testing::TestParamInfo<ConsoleCase>& info) { return info.param.title; });
// clang-format on

TEST(ConsoleMessage, WithoutAConsoleOnlyBytes) {
  StdoutCapture capture;
  WriteMessage(nullptr, WriteToFakeConsole, stdout, LatinOneBytes, {L"Kopfh\u00F6rer\n"});
  EXPECT_EQ("Kopfh\xF6rer\r\n", capture.Finish());
}

TEST(Hex32Text, IsEightUpperCaseDigitsMostSignificantFirst) {
  EXPECT_EQ(L"8ABCDEF9", Hex32Text(0x8ABCDEF9u).View());
  EXPECT_EQ(L"01234567", Hex32Text(0x01234567u).View());
  EXPECT_EQ(L"00000000", Hex32Text(0).View());
}

}  // namespace
