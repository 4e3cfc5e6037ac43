#include "output/console_output.h"

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
};

void PrintTo(const MessageCase& row, std::ostream* out) { *out << row.title; }

class Message : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Message, BecomesExactlyTheseBytes) {
  const MessageCase& row = GetParam();
  StdoutCapture capture;
  PrintMessage({row.pieces[0], row.pieces[1], row.pieces[2]});
  EXPECT_EQ(row.bytes, capture.Finish());
}

const std::wstring kChunk(4096, L'x');

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Pieces, Message,
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
        // One write to the runtime holds 4096 bytes; longer messages come out whole.
        MessageCase{"ExactlyOneWrite", {kChunk}, std::string(4096, 'x')},
        MessageCase{"OneByteMore", {kChunk, L"\u0100", L"\n"}, std::string(4096, 'x') + "?\r\n"},
        MessageCase{"ManyWrites", {std::wstring(40000, L'y') + L"\n\u00FF"},
                    std::string(40000, 'y') + "\r\n\xFF"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.title; });
// clang-format on

// A console that keeps what each write hands it, and refuses every write from
// one of them on. The handle the writer passes on is the console itself.
struct FakeConsole {
  std::size_t refusedFrom = SIZE_MAX;
  std::vector<std::wstring> writes;
};

BOOL WINAPI WriteToFakeConsole(HANDLE console, const VOID* characters, DWORD count, LPDWORD written,
                               LPVOID) {
  auto& fake = *static_cast<FakeConsole*>(console);
  if (fake.writes.size() >= fake.refusedFrom) {
    return FALSE;
  }
  fake.writes.emplace_back(static_cast<const wchar_t*>(characters), count);
  *written = count;
  return TRUE;
}

struct ConsoleCase {
  const char* title;
  std::wstring message;
  std::size_t refusedFrom;           // the console's first refused write
  std::vector<std::wstring> writes;  // what the console received, write by write
  std::string bytes;                 // what went to the byte stream instead
};

void PrintTo(const ConsoleCase& row, std::ostream* out) { *out << row.title; }

class ConsoleMessage : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleMessage, ReachesTheConsoleWholeOrTheBytesOnce) {
  const ConsoleCase& row = GetParam();
  FakeConsole console{row.refusedFrom, {}};
  StdoutCapture capture;
  WriteMessage(&console, WriteToFakeConsole, stdout, {row.message});
  EXPECT_EQ(row.bytes, capture.Finish());
  EXPECT_EQ(row.writes, console.writes);
}

const std::wstring kPiece(512, L'x');  // one write's worth
const std::wstring kHeadphones = L"\U0001F3A7";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Characters, ConsoleMessage,
    ::testing::Values(
        ConsoleCase{"EveryCharacterWholeEachLineFeedAsCrLf",
                    L"Kopfh\u00F6rer \u0414\u0438\u043D \u626C\u58F0 " + kHeadphones + L"\n\n",
                    SIZE_MAX,
                    {L"Kopfh\u00F6rer \u0414\u0438\u043D \u626C\u58F0 " + kHeadphones + L"\r\n\r\n"},
                    ""},
        ConsoleCase{"LongMessageInPieces", kPiece + L"y\n", SIZE_MAX, {kPiece, L"y\r\n"}, ""},
        // The pair would straddle the end of the first piece: it starts the second.
        ConsoleCase{"PairNeverSplitBetweenPieces", kPiece.substr(1) + kHeadphones + L"\n", SIZE_MAX,
                    {kPiece.substr(1), kHeadphones + L"\r\n"}, ""},
        ConsoleCase{"PairEndingTheMessageStaysInItsPiece", kPiece.substr(2) + kHeadphones,
                    SIZE_MAX, {kPiece.substr(2) + kHeadphones}, ""},
        // A refused write and everything after it go out as bytes, once.
        ConsoleCase{"RefusedMessageAsBytes", L"R\u00E9altek \u626C\n", 0, {},
                    "R\xE9" "altek ?\r\n"},
        ConsoleCase{"RefusedSecondPieceAndTheRestAsBytes", kPiece + kPiece + L"z\n", 1, {kPiece},
                    std::string(512, 'x') + "z\r\n"}),
    [](const ::testing::TestParamInfo<ConsoleCase>& info) { return info.param.title; });
// clang-format on

TEST(ConsoleMessage, WithoutAConsoleOnlyBytes) {
  StdoutCapture capture;
  WriteMessage(nullptr, WriteToFakeConsole, stdout, {L"Kopfh\u00F6rer\n"});
  EXPECT_EQ("Kopfh\xF6rer\r\n", capture.Finish());
}

TEST(Hex32Text, IsEightUpperCaseDigitsMostSignificantFirst) {
  EXPECT_EQ(L"8ABCDEF9", Hex32Text(0x8ABCDEF9u).View());
  EXPECT_EQ(L"01234567", Hex32Text(0x01234567u).View());
  EXPECT_EQ(L"00000000", Hex32Text(0).View());
}

}  // namespace
