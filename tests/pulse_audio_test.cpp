// The real Quorvane.exe against Wine's own device enumerator and property
// stores, which find the null sinks of a private PulseAudio daemon. Only the
// policy class is ours; its journal says which identifier it was given.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

TEST(PulseAudio, HidesExactlyTheEndpointWhoseFullNameMatches) {
  SimulatedMachineFiles files("policy any-endpoint\n");
  const Outcome outcome = files.Run(L"disable render \u58F0\u5668");
  EXPECT_EQ(
      "Playback: Haut-parleurs (R\xE9"
      "altek) ??? -> DISABLED\r\n",
      outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  // One policy object, told to hide one of Wine's own playback endpoints.
  const std::string call = "SetEndpointVisibility {0.0.0.00000000}.{";
  const size_t at = outcome.journal.find(call);
  ASSERT_NE(std::string::npos, at) << "Wine's enumerator does not see the PulseAudio sinks";
  EXPECT_EQ(std::string::npos, outcome.journal.find("SetEndpointVisibility", at + 1));
  EXPECT_EQ("} 0\n", outcome.journal.substr(outcome.journal.find('\n', at) - 3, 4));
  EXPECT_EQ("", outcome.ledger);
}

}  // namespace
