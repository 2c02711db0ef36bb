#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

namespace velkor::test {

using Lines = std::vector<std::string>;

// A set of a suite's arrangements: what a case needs beyond the suite's common ground, and what an
// implementation can arrange.
using Arrangements = unsigned;

// One implementation of a service, made afresh for each case with what the case needs.
template <typename Rig>
struct RigMaker {
    const char* name;
    Arrangements arranges;
    std::function<std::unique_ptr<Rig>(Arrangements needs)> make;
};

// The maker of `Made`, which is given the case's needs when it arranges any.
template <typename Rig, typename Made>
RigMaker<Rig> MakerOf(const char* name, Arrangements arranges = 0) {
    return {name, arranges, [](Arrangements needs) -> std::unique_ptr<Rig> {
                if constexpr (std::is_constructible_v<Made, Arrangements>) {
                    return std::make_unique<Made>(needs);
                } else {
                    return std::make_unique<Made>();
                }
            }};
}

// A failed call's answer: what it gave and the last error then ("null error 2").
inline std::string FailedAnswer(std::string_view what, std::uint32_t lastError) {
    return fmt::format("{} error {}", what, lastError);
}

// A contract suite: each case (a struct with `name` and `needs`) over each implementation that can
// arrange what it needs. A pairing that could never run is not instantiated at all.
template <typename Rig, typename Case>
class ContractSuite : public testing::TestWithParam<std::tuple<RigMaker<Rig>, Case>> {
public:
    using Maker = RigMaker<Rig>;
    using Pairing = std::tuple<Maker, Case>;

    template <std::size_t kCases>
    static std::vector<Pairing> Pairings(const std::vector<Maker>& makers, const Case (&cases)[kCases]) {
        std::vector<Pairing> pairings;
        for (const Maker& maker : makers) {
            for (const Case& c : cases) {
                if ((c.needs & ~maker.arranges) == 0) {
                    pairings.emplace_back(maker, c);
                }
            }
        }
        return pairings;
    }

    // "<Implementation>_<Case>".
    static std::string Name(const testing::TestParamInfo<Pairing>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    }
};

// Failures name the implementation and the case rather than dump their bytes.
template <typename Maker, typename Case>
void PrintTo(const std::tuple<Maker, Case>& pairing, std::ostream* out) {
    *out << std::get<0>(pairing).name << " " << std::get<1>(pairing).name;
}

}  // namespace velkor::test
