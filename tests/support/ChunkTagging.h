#pragma once

#include "platform/ChunkTags.h"

#include <memory>
#include <string_view>

namespace velkor::test {

// The tags of `bytes` under `key`, as the card check takes them.
inline std::vector<platform::ChunkTag> TagsOf(std::string_view bytes, const platform::ChunkKey& key) {
    platform::ChunkTagger tagger(key);
    tagger.Update(bytes.data(), bytes.size());
    return tagger.Finish();
}

// `bytes` tagged under a key of their own: what a card check that read them hands on.
inline platform::ChunkTags ChunkTagsOf(std::string_view bytes) {
    auto key = std::make_shared<const platform::ChunkKey>();
    return {key, TagsOf(bytes, *key)};
}

}  // namespace velkor::test
