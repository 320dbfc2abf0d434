// The configuration service: the embedded default, overlays from IMR_CONFIG,
// the JSON types, missing paths and overlays that cannot be used; and the
// name search that follows it.
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "pxc_ns/pxc_namesearch.h"
#include "pxc_test_support.h"

using namespace pxctest;

namespace {

using Json = nlohmann::ordered_json;

ZQ_TAny Value(const char* path) { return PXC_CfsWrap().Value(ZQ_TString(path)); }

// The embedded default, read here independently of the service.
const Json& DefaultDocument() {
  static const Json document = Json::parse(PXC_DefaultConfiguration());
  return document;
}

// `json` as PXC_Any2String prints what the service should make of it:
// objects as dictionaries in document order, arrays as lists, strings as
// texts, unsigned 32-bit numbers and booleans boxed, other numbers as their
// text.  Texts inside containers are quoted, so each type shows.
std::string Expected(const Json& json, bool nested = false) {
  std::string out;
  const char* separator = "";
  switch (json.type()) {
    case Json::value_t::object:
      for (const auto& [key, item] : json.items()) {
        out += separator + key + ": " + Expected(item, true);
        separator = ", ";
      }
      return "{" + out + "}";
    case Json::value_t::array:
      for (const Json& item : json) {
        out += separator + Expected(item, true);
        separator = ", ";
      }
      return "[" + out + "]";
    case Json::value_t::string:
      out = json.get<std::string>();
      break;
    case Json::value_t::boolean:
      return json.dump();
    case Json::value_t::number_unsigned:
      if (json.get<std::uint64_t>() <= 0xFFFFFFFFu) return json.dump();
      [[fallthrough]];
    default:
      out = json.dump();
  }
  return nested ? "\"" + out + "\"" : out;
}

std::string Readable(const ZQ_TAny& value) { return PXC_Any2String(value).Std(); }

class Configuration : public ::testing::Test {
 protected:
  Configuration() : iNoOverlay("IMR_CONFIG", std::nullopt) { PXC_CfsReload(); }
  ~Configuration() override { PXC_CfsReload(); }

  void ExpectDefault() {
    EXPECT_EQ(Readable(Value("/Resources")), Expected(DefaultDocument()["Resources"]));
    EXPECT_FALSE(PXC_CfsWrap().HasValue(ZQ_TString("/Resources/Added")));
  }

  TempDir iDir;
  ScopedEnv iNoOverlay;
};

const char kOverlay[] = R"({
  "Resources": {
    "Modules": {
      "IMR": {"Strategy": 5, "Selections": 7, "ExtensionList": {"tif": "TIFF"}, "PXCTEST": "new"},
      "PXC": {"Plugins": {"IMR_TPlugin": {"PXCTEST": "pxctest.so"}}}
    },
    "Added": {
      "list": [1, "two", true, false, {"k": "v"}, [3]],
      "negative": -3,
      "fraction": 1.5,
      "large": 5000000000,
      "largest": 4294967295
    }
  }
})";

}  // namespace

// Objects merge key by key, keeping the default's order and adding after
// it; anything but two objects replaces (as a JSON merge patch without
// nulls does).  JSON types become foundation types as Expected describes.
TEST_F(Configuration, AnOverlayMergesObjectsAndReplacesOtherValues) {
  Json merged = DefaultDocument();
  merged.merge_patch(Json::parse(kOverlay));
  ScopedOverlay overlay(iDir, kOverlay);
  EXPECT_EQ(PXC_CfsWrap().LoadError(), "");
  EXPECT_EQ(Readable(Value("/Resources")), Expected(merged["Resources"]));
  EXPECT_NE(Value("/Resources/Modules/IMR/Strategy").DynamicCast<ZQ_TUInt32>(), nullptr);
  EXPECT_TRUE(Value("/Resources/Added/large").IsText());

  // Values taken stay valid across a reload.
  const ZQ_TAny added = Value("/Resources/Added");
  ScopedEnv none("IMR_CONFIG", std::nullopt);
  PXC_CfsReload();
  EXPECT_FALSE(PXC_CfsWrap().HasValue(ZQ_TString("/Resources/Added")));
  EXPECT_EQ(Readable(added), Expected(merged["Resources"]["Added"]));
}

// Leading, doubled and trailing slashes do not matter; a missing path raises
// an error naming it.
TEST_F(Configuration, PathsAndMissingPaths) {
  EXPECT_EQ(Readable(Value("Resources//Modules/IMR/Strategy/")),
            Expected(DefaultDocument()["Resources"]["Modules"]["IMR"]["Strategy"]));
  for (const char* path : {"/Resources/Nothing/Here", "/Resources/Modules/IMR/Strategy/Deeper",
                           "/resources/modules", ""}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(PXC_CfsWrap().HasValue(ZQ_TString(path)));
    PXC_EPXCBASE error = Raised<PXC_EPXCBASE>([&] { Value(path); });
    EXPECT_EQ(Datum(error), path);
    EXPECT_NE(Text(error).find(path), std::string::npos) << Text(error);
  }
}

// An overlay that cannot be used leaves the default in force, and the error
// names the file, the place and the whole reason (a reason holding ": " was
// once cut short); it is logged once.
TEST_F(Configuration, AnUnusableOverlayLeavesTheDefaultAndSaysWhere) {
  LogCapture log(iDir);
  const std::string broken = "{\n  \"Resources\": {\n    \"Modules\": {\n"
                             "      \"IMR\": { \"Strategy\": 4,, \"X\": 1 }\n    }\n  }\n}\n";
  const std::pair<std::string, std::string> cases[] = {
      {broken, "line 4, column 30"},
      {"{\"a\": tru}", ": syntax error while parsing value - invalid literal"},
      {"[1, 2]", ""},
  };
  int number = 0;
  for (const auto& [json, where] : cases) {
    SCOPED_TRACE(json);
    ScopedOverlay overlay(iDir, json, "overlay" + std::to_string(++number) + ".json");
    ExpectDefault();
    const std::string error = PXC_CfsWrap().LoadError().Std();
    EXPECT_NE(error.find(overlay.Path()), std::string::npos) << error;
    EXPECT_NE(error.find(where), std::string::npos) << error;
    EXPECT_EQ(Count(log.Text(), overlay.Path()), 1u) << log.Text();
  }
  ScopedEnv missing("IMR_CONFIG", iDir / "missing.json");
  PXC_CfsReload();
  ExpectDefault();
  EXPECT_NE(PXC_CfsWrap().LoadError().Std().find("missing.json"), std::string::npos);
  // A good overlay afterwards clears the error.
  ScopedOverlay good(iDir, kOverlay);
  EXPECT_EQ(PXC_CfsWrap().LoadError(), "");
}

// The name search follows every load of the configuration (it once kept its
// first answer for good).
TEST_F(Configuration, TheNameSearchFollowsTheConfiguration) {
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXC_NS__());
  EXPECT_TRUE(PXC_TNameSearch::IsDefaultCfg());
  for (const char* value : {R"("studio")", R"("default")", R"("")", "3"}) {
    SCOPED_TRACE(value);
    ScopedOverlay overlay(
        iDir, std::string(R"({"Resources": {"Modules": {"PXC": {"NameSearch": )") + value + "}}}}");
    EXPECT_EQ(PXC_TNameSearch::IsDefaultCfg(), std::string(value) != R"("studio")");
  }
  EXPECT_TRUE(PXC_TNameSearch::IsDefaultCfg());
}
