#include "trust/ManifestReader.h"
#include "trust/ManifestWriter.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace velkor::trust {
namespace {

using nlohmann::json;
using update::ImageKind;

const std::string kHash(64, 'a');

Manifest TwoImages() {
    Manifest manifest{"velkor-vk100", 7, {}};
    manifest.images.push_back({ImageKind::OS, "AutoUpdate/NK.bin", 1234, *platform::DigestFromHex(kHash)});
    manifest.images.push_back({ImageKind::Logo2, "AutoUpdate/Ä/logo2.bmp", 0, *platform::DigestFromHex(std::string(64, '0'))});
    return manifest;
}

json Document() { return json::parse(WriteManifest(TwoImages())); }

std::string WithImageField(const char* field, const json& value) {
    json document = Document();
    document["images"][0][field] = value;
    return document.dump();
}

std::string WithField(const char* field, const json& value) {
    json document = Document();
    document[field] = value;
    return document.dump();
}

struct ReaderCase {
    const char* name;
    std::function<std::string()> text;
    // Empty: the text reads as TwoImages().
    std::string error;
};

class ManifestReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(ManifestReaderTest, ReadsWhatTheWriterWritesAndNamesTheFaultOfAnythingElse) {
    const ManifestReading reading = ReadManifest(GetParam().text());
    if (GetParam().error.empty()) {
        ASSERT_TRUE(reading.manifest) << reading.error;
        EXPECT_EQ(*reading.manifest, TwoImages());
    } else {
        EXPECT_FALSE(reading.manifest);
        EXPECT_EQ(reading.error, GetParam().error);
    }
}

const std::string kPathRule =
    "\" must be a path of at most 240 characters relative to the card's root, with \"/\" between names that are "
    "not empty, \".\" or \"..\" and hold no control character or any of \\:*?\"<>|";

INSTANTIATE_TEST_SUITE_P(
    Texts, ManifestReaderTest,
    testing::Values(
        ReaderCase{"AsWritten", [] { return WriteManifest(TwoImages()); }, ""},
        ReaderCase{"UppercaseDigest", [] { return WithImageField("sha256", std::string(64, 'A')); }, ""},
        ReaderCase{"AtTheSizeLimit",
                   [] {
                       std::string text = WriteManifest(TwoImages());
                       return text + std::string(kMaxManifestBytes - text.size(), ' ');
                   },
                   ""},
        ReaderCase{"OverTheSizeLimit",
                   [] {
                       std::string text = WriteManifest(TwoImages());
                       return text + std::string(kMaxManifestBytes + 1 - text.size(), ' ');
                   },
                   "larger than 1048576 bytes"},
        ReaderCase{"NotJson", [] { return std::string("{\"version\": 7,"); }, "not valid JSON (at byte 15)"},
        ReaderCase{"NulThenASecondDocument",
                   [] { return WriteManifest(TwoImages()) + std::string(1, '\0') + WithField("compatible", "other"); },
                   "holds a NUL byte (at byte " + std::to_string(WriteManifest(TwoImages()).size()) + ")"},
        ReaderCase{"TrailingBytes", [] { return WriteManifest(TwoImages()) + "{}"; },
                   "not valid JSON (at byte " + std::to_string(WriteManifest(TwoImages()).size() + 1) + ")"},
        ReaderCase{"NotAnObject", [] { return std::string("[]"); }, "\"the document\" must be an object"},
        ReaderCase{"KeyTwice",
                   [] { return std::string(R"({"version": 7, "compatible": "a", "version": 8, "images": []})"); },
                   "the document has the key \"version\" twice"},
        ReaderCase{"ImageKeyTwice",
                   [] {
                       std::string text = Document().dump();
                       return text.replace(text.find("\"size\""), 0, "\"size\":1,");
                   },
                   "\"images[0]\" has the key \"size\" twice"},
        ReaderCase{"TooManyImages",
                   [] { return WithField("images", json::array({0, 0, 0, 0, 0, 0})); },
                   "\"images\" has more than 5 items"},
        ReaderCase{"TooManyKeys",
                   [] { return std::string(R"({"a": 1, "b": 2, "c": 3, "d": 4, "e": 5})"); },
                   "the document has more than 4 keys"},
        ReaderCase{"NestedTooDeeply", [] { return WithImageField("size", json::array({json::array()})); },
                   "\"images[0].size\" nests deeper than 3 levels"},
        ReaderCase{"UnknownField", [] { return WithField("signer", "me"); },
                   "\"signer\" is not a field of the manifest"},
        ReaderCase{"MissingField",
                   [] {
                       json document = Document();
                       document["images"][1].erase("sha256");
                       return document.dump();
                   },
                   "\"images[1].sha256\" is missing"},
        ReaderCase{"CompatibleEmpty", [] { return WithField("compatible", ""); },
                   "\"compatible\" must be a text of 1 to 128 characters without control characters"},
        ReaderCase{"VersionAsText", [] { return WithField("version", "7"); }, "\"version\" must be a whole number from 0"},
        ReaderCase{"ImagesNotAList", [] { return WithField("images", json::object()); },
                   "\"images\" must be a list of images"},
        ReaderCase{"ImageNotAnObject", [] { return WithField("images", json::array({"NK.bin"})); },
                   "\"images[0]\" must be an object"},
        ReaderCase{"UnknownRow", [] { return WithImageField("row", "Kernel"); },
                   "\"images[0].row\" must be \"OS\", \"Logo\", \"Logo2\", \"Boot\" or \"App\""},
        ReaderCase{"ResetWritesNoImage", [] { return WithImageField("row", "Reset"); },
                   "\"images[0].row\" must be \"OS\", \"Logo\", \"Logo2\", \"Boot\" or \"App\""},
        ReaderCase{"RowTwice", [] { return WithImageField("row", "Logo2"); },
                   "\"images[1].row\" lists the row Logo2 a second time"},
        ReaderCase{"PathTwiceInAnotherCase", [] { return WithImageField("path", "autoupdate/ä/LOGO2.BMP"); },
                   "\"images[1].path\" lists the path of images[0] a second time"},
        ReaderCase{"PathFromTheRoot", [] { return WithImageField("path", "/NK.bin"); }, "\"images[0].path" + kPathRule},
        ReaderCase{"PathUpwards", [] { return WithImageField("path", "AutoUpdate/../../NK.bin"); },
                   "\"images[0].path" + kPathRule},
        ReaderCase{"PathWithBackslash", [] { return WithImageField("path", "AutoUpdate\\NK.bin"); },
                   "\"images[0].path" + kPathRule},
        ReaderCase{"PathWithDrive", [] { return WithImageField("path", "C:NK.bin"); }, "\"images[0].path" + kPathRule},
        ReaderCase{"PathWithControlCharacter", [] { return WithImageField("path", "NK\x01.bin"); },
                   "\"images[0].path" + kPathRule},
        ReaderCase{"PathTooLong", [] { return WithImageField("path", std::string(241, 'n')); },
                   "\"images[0].path" + kPathRule},
        ReaderCase{"DigestTooShort", [] { return WithImageField("sha256", std::string(63, 'a')); },
                   "\"images[0].sha256\" must be 64 hexadecimal digits"},
        ReaderCase{"DigestNotHex", [] { return WithImageField("sha256", "+" + std::string(63, 'a')); },
                   "\"images[0].sha256\" must be 64 hexadecimal digits"}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velkor::trust
