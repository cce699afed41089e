#pragma once
// Made-up participants for trying the program out: Chinese names and
// phone-like numbers, the same every time.

#include <cstddef>
#include <string>
#include <vector>

namespace dbtool {

struct DemoParticipant {
    std::string name;
    std::string number;  // 11 digits, distinct for every index below 10^8
};

std::vector<DemoParticipant> makeDemoParticipants(std::size_t count);

}  // namespace dbtool
