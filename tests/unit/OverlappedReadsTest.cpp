#include "platform/OverlappedReads.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velkor::platform {
namespace {

struct OverlapCase {
    const char* name;
    // What each read gives, in turn: bytes, or nothing for a failed read; an empty string ends.
    std::vector<std::optional<std::string>> reads;
    // The work on the read with this index answers stop.
    std::optional<std::size_t> workStopsAt;
    bool answer;
    // What the work saw, in the order it saw it.
    std::string worked;
    std::size_t readsMade;
};

class OverlappedReadsTest : public testing::TestWithParam<OverlapCase> {};

// The work sees every read in order, while the next is read into the other buffer, and a failure
// on either side ends the reading.
TEST_P(OverlappedReadsTest, WorksOnEachReadInOrderAndStopsAtAFailure) {
    const OverlapCase& c = GetParam();
    std::array<std::string, 2> buffers;
    std::size_t readsMade = 0;
    std::size_t worksDone = 0;
    std::string worked;

    const bool answer = ReadOverlapped<std::string>(
        {&buffers[0], &buffers[1]},
        [&](std::string& buffer) -> std::optional<std::uint64_t> {
            const std::optional<std::string> read = c.reads.at(readsMade++);
            if (read) {
                buffer = *read;
            }
            return read ? std::optional<std::uint64_t>(read->size()) : std::nullopt;
        },
        [&](const std::string& buffer, std::uint64_t count) {
            worked += buffer.substr(0, count);
            return worksDone++ != c.workStopsAt;
        });

    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(worked, c.worked);
    EXPECT_EQ(readsMade, c.readsMade);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, OverlappedReadsTest,
    testing::Values(OverlapCase{"ToTheEnd", {"ab", "cd", "e", ""}, std::nullopt, true, "abcde", 4},
                    OverlapCase{"NothingToRead", {""}, std::nullopt, true, "", 1},
                    OverlapCase{"ReadFails", {"ab", "cd", std::nullopt, "ef"}, std::nullopt, false, "abcd", 3},
                    // The read that overlapped the stopping work is the last one made.
                    OverlapCase{"WorkStops", {"ab", "cd", "ef", "gh", ""}, 1, false, "abcd", 3}),
    [](const testing::TestParamInfo<OverlapCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::platform
