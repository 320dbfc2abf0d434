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

std::vector<std::string> Keys(const ZQ_TAny& value) {
  std::vector<std::string> keys;
  const ZQ_TDict* dict = value.DynamicCast<ZQ_TDict>();
  EXPECT_NE(dict, nullptr) << value.ToText();
  if (dict == nullptr) return keys;
  for (const ZQ_TDict::Entry& entry : *dict) keys.push_back(entry.key.Std());
  return keys;
}

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, item] : object.items()) keys.push_back(key);
  return keys;
}

std::uint32_t Number(const ZQ_TAny& value) {
  const ZQ_TUInt32* number = value.DynamicCast<ZQ_TUInt32>();
  EXPECT_NE(number, nullptr) << value.ToText();
  return number ? number->Value() : 0;
}

// Whether `value` is what the service makes of `json`: objects as
// dictionaries in document order, arrays as lists, strings as texts,
// unsigned 32-bit numbers and booleans boxed, other numbers as their text.
::testing::AssertionResult SameValue(const ZQ_TAny& value, const Json& json, const std::string& at) {
  auto differ = [&](const std::string& why) {
    return ::testing::AssertionFailure() << at << ": " << why << " (" << value.ToText() << ")";
  };
  switch (json.type()) {
    case Json::value_t::object: {
      const ZQ_TDict* dict = value.DynamicCast<ZQ_TDict>();
      if (dict == nullptr) return differ("not a dictionary");
      if (Keys(value) != Keys(json)) return differ("other keys or order");
      for (const auto& [key, item] : json.items()) {
        auto result = SameValue(*dict->ValueOfKey(key), item, at + "/" + key);
        if (!result) return result;
      }
      return ::testing::AssertionSuccess();
    }
    case Json::value_t::array: {
      const ZQ_TList* list = value.DynamicCast<ZQ_TList>();
      if (list == nullptr || list->Entries() != json.size()) return differ("not a list of as many");
      for (std::uint32_t i = 0; i < list->Entries(); ++i) {
        auto result = SameValue((*list)[i], json[i], at + "/" + std::to_string(i));
        if (!result) return result;
      }
      return ::testing::AssertionSuccess();
    }
    case Json::value_t::string:
      if (!value.IsText() || value.ToText().Std() != json.get<std::string>()) return differ("text");
      return ::testing::AssertionSuccess();
    case Json::value_t::boolean: {
      const ZQ_TBool* flag = value.DynamicCast<ZQ_TBool>();
      if (flag == nullptr || flag->Value() != json.get<bool>()) return differ("boolean");
      return ::testing::AssertionSuccess();
    }
    case Json::value_t::number_unsigned:
      if (json.get<std::uint64_t>() <= 0xFFFFFFFFu) {
        const ZQ_TUInt32* number = value.DynamicCast<ZQ_TUInt32>();
        if (number == nullptr || number->Value() != json.get<std::uint64_t>()) {
          return differ("unsigned number");
        }
        return ::testing::AssertionSuccess();
      }
      [[fallthrough]];
    case Json::value_t::number_integer:
    case Json::value_t::number_float:
      if (!value.IsText() || value.ToText().Std() != json.dump()) return differ("number text");
      return ::testing::AssertionSuccess();
    default:
      return value.IsIllegal() ? ::testing::AssertionSuccess() : differ("not empty");
  }
}

class Configuration : public ::testing::Test {
 protected:
  Configuration() : iNoOverlay("IMR_CONFIG", std::nullopt) { PXC_CfsReload(); }
  ~Configuration() override { PXC_CfsReload(); }

  void ExpectDefault() {
    EXPECT_TRUE(SameValue(Value("/Resources"), DefaultDocument()["Resources"], "/Resources"));
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

TEST_F(Configuration, TheEmbeddedDefaultIsInForceWithoutAnOverlay) {
  const Json& document = DefaultDocument();
  for (const auto& [key, item] : document.items()) {
    EXPECT_TRUE(SameValue(Value(("/" + key).c_str()), item, "/" + key));
  }
  ExpectDefault();
  EXPECT_EQ(PXC_CfsWrap().LoadError(), "");
  EXPECT_EQ(Value("/Resources/Modules/PXC/NameSearch").ToText(), "default");
  EXPECT_NE(Value("/Resources/Modules/IMR/Strategy").DynamicCast<ZQ_TUInt32>(), nullptr);
  // Leading, doubled and trailing slashes do not matter.
  EXPECT_EQ(Number(Value("Resources//Modules/IMR/Strategy/")),
            document["Resources"]["Modules"]["IMR"]["Strategy"].get<std::uint32_t>());
}

TEST_F(Configuration, AnOverlayMergesObjectsAndReplacesOtherValues) {
  const Json& modules = DefaultDocument()["Resources"]["Modules"];
  ScopedOverlay overlay(iDir, kOverlay);
  EXPECT_EQ(PXC_CfsWrap().LoadError(), "");
  EXPECT_EQ(Number(Value("/Resources/Modules/IMR/Strategy")), 5u);
  // Objects merge key by key, keeping the default's order and adding after it.
  std::vector<std::string> imr = Keys(modules["IMR"]);
  for (const char* key : {"Strategy", "Selections", "ExtensionList", "PXCTEST"}) {
    if (!modules["IMR"].contains(key)) imr.push_back(key);
  }
  EXPECT_EQ(Keys(Value("/Resources/Modules/IMR")), imr);
  std::vector<std::string> plugins = Keys(modules["PXC"]["Plugins"]["IMR_TPlugin"]);
  plugins.push_back("PXCTEST");
  EXPECT_EQ(Keys(Value("/Resources/Modules/PXC/Plugins/IMR_TPlugin")), plugins);
  EXPECT_TRUE(SameValue(Value("/Resources/Modules/PXC/Plugins/IMR_TMatch"),
                        modules["PXC"]["Plugins"]["IMR_TMatch"], "IMR_TMatch"));
  EXPECT_EQ(Value("/Resources/Modules/PXC/NameSearch").ToText(), "default");
  EXPECT_EQ(Keys(Value("/Resources")).back(), "Added");
  // Anything but two objects replaces: an object by a number, a text by an object.
  EXPECT_EQ(Number(Value("/Resources/Modules/IMR/Selections")), 7u);
  EXPECT_EQ(Value("/Resources/Modules/IMR/ExtensionList/tif").ToText(), "TIFF");
}

TEST_F(Configuration, JsonTypesBecomeFoundationTypes) {
  ScopedOverlay overlay(iDir, kOverlay);
  const ZQ_TAny list = Value("/Resources/Added/list");
  const ZQ_TList* items = list.DynamicCast<ZQ_TList>();
  ASSERT_NE(items, nullptr) << list.ToText();
  ASSERT_EQ(items->Entries(), 6u);
  EXPECT_EQ(Number((*items)[0]), 1u);
  EXPECT_TRUE((*items)[1].IsText());
  EXPECT_EQ((*items)[1].ToText(), "two");
  ASSERT_NE((*items)[2].DynamicCast<ZQ_TBool>(), nullptr);
  EXPECT_TRUE((*items)[2].DynamicCast<ZQ_TBool>()->Value());
  ASSERT_NE((*items)[3].DynamicCast<ZQ_TBool>(), nullptr);
  EXPECT_FALSE((*items)[3].DynamicCast<ZQ_TBool>()->Value());
  EXPECT_EQ(Keys((*items)[4]), (std::vector<std::string>{"k"}));
  EXPECT_NE((*items)[5].DynamicCast<ZQ_TList>(), nullptr);
  // Numbers that are not unsigned 32-bit keep their text.
  EXPECT_EQ(Value("/Resources/Added/negative").ToText(), "-3");
  EXPECT_TRUE(Value("/Resources/Added/negative").IsText());
  EXPECT_EQ(Value("/Resources/Added/fraction").ToText(), "1.5");
  EXPECT_EQ(Value("/Resources/Added/large").ToText(), "5000000000");
  EXPECT_TRUE(Value("/Resources/Added/large").IsText());
  EXPECT_EQ(Number(Value("/Resources/Added/largest")), 4294967295u);
}

TEST_F(Configuration, AMissingPathRaisesAnErrorNamingIt) {
  for (const char* path : {"/Resources/Nothing/Here", "/Resources/Modules/IMR/Strategy/Deeper",
                           "/resources/modules", ""}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(PXC_CfsWrap().HasValue(ZQ_TString(path)));
    PXC_EPXCBASE error = Raised<PXC_EPXCBASE>([&] { Value(path); });
    EXPECT_EQ(Datum(error), path);
    EXPECT_NE(Text(error).find(path), std::string::npos) << Text(error);
  }
}

TEST_F(Configuration, AnInvalidOverlayLeavesTheDefaultAndSaysWhere) {
  LogCapture log(iDir);
  const std::string broken =
      "{\n"
      "  \"Resources\": {\n"
      "    \"Modules\": {\n"
      "      \"IMR\": { \"Strategy\": 4,, \"X\": 1 }\n"
      "    }\n"
      "  }\n"
      "}\n";
  {
    ScopedOverlay overlay(iDir, broken, "broken.json");
    ExpectDefault();
    const std::string error = PXC_CfsWrap().LoadError().Std();
    EXPECT_NE(error.find(overlay.Path()), std::string::npos) << error;
    EXPECT_NE(error.find("line 4, column 30"), std::string::npos) << error;
    EXPECT_EQ(Count(log.Text(), overlay.Path()), 1u) << log.Text();
  }
  {
    ScopedOverlay overlay(iDir, "{ oops }", "first.json");
    ExpectDefault();
    EXPECT_NE(PXC_CfsWrap().LoadError().Std().find("line 1, column 3"), std::string::npos)
        << PXC_CfsWrap().LoadError();
  }
  {
    // The whole reason is given, even when it holds a colon itself.
    ScopedOverlay overlay(iDir, "{\"a\": tru}", "literal.json");
    const std::string error = PXC_CfsWrap().LoadError().Std();
    EXPECT_NE(error.find(": syntax error while parsing value - invalid literal"), std::string::npos)
        << error;
  }
  {
    ScopedOverlay overlay(iDir, "{\"a\": [1, 2]", "short.json");
    ExpectDefault();
    EXPECT_NE(PXC_CfsWrap().LoadError().Std().find("line 1"), std::string::npos)
        << PXC_CfsWrap().LoadError();
  }
  {
    ScopedOverlay overlay(iDir, "[1, 2]", "array.json");
    ExpectDefault();
    EXPECT_NE(PXC_CfsWrap().LoadError().Std().find(overlay.Path()), std::string::npos);
  }
  // A good overlay afterwards clears the error.
  ScopedOverlay good(iDir, kOverlay);
  EXPECT_EQ(PXC_CfsWrap().LoadError(), "");
  EXPECT_EQ(Number(Value("/Resources/Modules/IMR/Strategy")), 5u);
}

TEST_F(Configuration, AMissingOverlayFileLeavesTheDefault) {
  LogCapture log(iDir);
  const std::string missing = iDir / "missing.json";
  ScopedEnv env("IMR_CONFIG", missing);
  PXC_CfsReload();
  ExpectDefault();
  EXPECT_NE(PXC_CfsWrap().LoadError().Std().find(missing), std::string::npos)
      << PXC_CfsWrap().LoadError();
  EXPECT_EQ(Count(log.Text(), missing), 1u) << log.Text();

  ScopedEnv folder("IMR_CONFIG", iDir.Path());
  PXC_CfsReload();
  ExpectDefault();
  EXPECT_NE(PXC_CfsWrap().LoadError().Std().find(iDir.Path()), std::string::npos);
}

TEST_F(Configuration, ValuesTakenStayValidAcrossAReload) {
  std::unique_ptr<ScopedOverlay> overlay = std::make_unique<ScopedOverlay>(iDir, kOverlay);
  const ZQ_TAny added = Value("/Resources/Added");
  overlay.reset();
  EXPECT_FALSE(PXC_CfsWrap().HasValue(ZQ_TString("/Resources/Added")));
  EXPECT_EQ(Keys(added).size(), 5u);
}

TEST_F(Configuration, TheNameSearchFollowsTheConfiguration) {
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_PXC_NS__());
  EXPECT_TRUE(PXC_TNameSearch::IsDefaultCfg());
  {
    ScopedOverlay overlay(iDir, R"({"Resources": {"Modules": {"PXC": {"NameSearch": "studio"}}}})");
    EXPECT_FALSE(PXC_TNameSearch::IsDefaultCfg());
  }
  EXPECT_TRUE(PXC_TNameSearch::IsDefaultCfg());
  for (const char* value : {R"("default")", R"("")", "3"}) {
    SCOPED_TRACE(value);
    ScopedOverlay overlay(
        iDir, std::string(R"({"Resources": {"Modules": {"PXC": {"NameSearch": )") + value + "}}}}");
    EXPECT_TRUE(PXC_TNameSearch::IsDefaultCfg());
  }
}
