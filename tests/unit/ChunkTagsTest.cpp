#include "platform/ChunkTags.h"

#include "support/ChunkTagging.h"
#include "support/RandomBytes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velkor::platform {
namespace {

// However a reader's requests split the stream, each chunk gets the tag the check took of it; a
// chunk has a nonce of its own, so equal chunks at two places tag apart.
TEST(ChunkTagger, TagsEachChunkAtItsPlaceHoweverTheBytesArrive) {
    const std::string chunk = test::RandomBytes(kTaggedChunkBytes, 7);
    const std::string image = chunk + chunk + chunk.substr(0, 9);
    const ChunkKey key;
    ChunkTagger tagger(key);
    for (std::size_t at = 0; at < image.size(); at += 65537) {
        tagger.Update(image.data() + at, std::min<std::size_t>(65537, image.size() - at));
    }
    const std::vector<ChunkTag> tags = tagger.Finish();
    EXPECT_EQ(tags, test::TagsOf(image, key));
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_NE(tags[0], tags[1]);
}

}  // namespace
}  // namespace velkor::platform
