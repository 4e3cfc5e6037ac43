#pragma once

// The simulated machine as a plain UTF-8 text file that a person can read and
// edit. One statement a line; '#' starts a comment line.
//
//   endpoint FLOW STATE ID NAME
//       FLOW  render | capture
//       STATE active | disabled | notpresent | unplugged
//       ID    the endpoint identifier, without spaces
//       NAME  the rest of the line, any Unicode. \\ \n \r \t and \uXXXX are
//             escapes (\uD800 alone makes an unpaired surrogate), \< a plain '<'.
//             <none> means the endpoint has no friendly-name property,
//             <number> a property that is not a string, <null> a null string.
//
//   fail STEP STATUS [ID]
//       Makes a step answer STATUS (hexadecimal 0x... or decimal): for the
//       endpoint ID, or for every endpoint when ID is left out.
//       enumerator, enumerate   creating the enumerator, EnumAudioEndpoints
//       count [written=N]       GetCount, writing N into the count or nothing
//       item, id, open, value   Item, GetId (leaves the id null),
//                               OpenPropertyStore, GetValue
//       policy, visibility      creating the policy object, SetEndpointVisibility
//       STATUS 1 (S_FALSE) makes enumerator, enumerate, item and open succeed
//       without handing out an object.
//   fail policy-empty [ID]
//       Creating the policy object succeeds but yields no object.
//
//   policy any-endpoint
//       The policy object shows or hides endpoints it was not told of, for use
//       beside another platform's enumerator.
//
// SetEndpointVisibility changes STATE in the file, so changes last across runs.

#include <string>
#include <string_view>
#include <vector>

#include "simulator/simulated_platform.h"

struct SimulatedMachine {
  std::vector<SimulatedEndpoint> endpoints;
  PlatformFailures failures;
  // Lines that could not be understood, each naming its line number.
  std::vector<std::wstring> problems;
};

SimulatedMachine ParseMachineFile(std::string_view text);

// The same text with each endpoint line's state replaced by the endpoint's
// current one; every other byte is kept.
std::string WithCurrentStates(std::string_view text,
                              const std::vector<SimulatedEndpoint>& endpoints);

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
