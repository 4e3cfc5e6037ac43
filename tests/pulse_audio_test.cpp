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
  std::vector<std::string> calls;
  for (const std::string& entry : outcome.journal) {
    if (entry.rfind("SetEndpointVisibility ", 0) == 0) {
      calls.push_back(entry);
    }
  }
  ASSERT_EQ(1u, calls.size()) << "Wine's enumerator does not see the PulseAudio sinks";
  EXPECT_EQ(0u, calls[0].rfind("SetEndpointVisibility {0.0.0.00000000}.{", 0));
  EXPECT_EQ(" 0", calls[0].substr(calls[0].size() - 2));
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

}  // namespace
