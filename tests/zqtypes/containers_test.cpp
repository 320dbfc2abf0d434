// ZQ_TList, ZQ_TDict, ZQ_TArray and their iterators: stable list keys,
// copy-on-write independence, dictionary order and index, round trips.
#include <map>
#include <sstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "zq_test_support.h"

using namespace zqtest;

namespace {

std::vector<std::string> Texts(const ZQ_TList& list) {
  std::vector<std::string> out;
  for (const ZQ_TList::Entry& entry : list) out.push_back(entry.value.ToText().Std());
  return out;
}

std::vector<std::string> Keys(const ZQ_TDict& dict) {
  std::vector<std::string> out;
  for (const ZQ_TDict::Entry& entry : dict) out.push_back(entry.key.Std());
  return out;
}

using Strings = std::vector<std::string>;

}  // namespace

// ---------------------------------------------------------------------------
// List keys

TEST(ListKeys, SurviveInsertionsAndRemovalsElsewhere) {
  ZQ_TList list;
  const ZQ_TListKey b = list.AddAtTail("b");
  const ZQ_TListKey c = list.AddAtTail("c");
  const ZQ_TListKey a = list.AddAtHead("a");
  EXPECT_FALSE(a.IsNull());
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_EQ(Texts(list), (Strings{"a", "b", "c"}));
  EXPECT_EQ(list.IndexOfKey(c), 2);
  EXPECT_EQ(list.KeyAt(1), b);
  EXPECT_EQ(list.KeyOf("c"), c);
  EXPECT_TRUE(list.KeyOf("zzz").IsNull());
  EXPECT_EQ(list.IndexOfKey(ZQ_TListKey()), -1);

  list.RemoveHead();
  EXPECT_EQ(list.IndexOfKey(a), -1);
  EXPECT_EQ(list.ValueOfKey(a), nullptr);
  EXPECT_EQ(list.IndexOfKey(c), 1);
  ASSERT_NE(list.ValueOfKey(c), nullptr);
  EXPECT_EQ(*list.ValueOfKey(c), ZQ_TAny("c"));

  const ZQ_TListKey z = list.AddAtHead("z");
  list.MoveToTail(0);
  EXPECT_EQ(Texts(list), (Strings{"b", "c", "z"}));
  EXPECT_EQ(list.IndexOfKey(z), 2);
  EXPECT_EQ(*list.ValueOfKey(b), ZQ_TAny("b"));

  EXPECT_TRUE(list.Remove(c));
  EXPECT_FALSE(list.Remove(c));
  EXPECT_EQ(list.IndexOfKey(b), 0);
  EXPECT_EQ(list.IndexOfKey(z), 1);
  // A key of a removed entry never names a later one.
  for (int i = 0; i < 10; ++i) list.AddAtTail(i);
  EXPECT_EQ(list.IndexOfKey(a), -1);
  EXPECT_EQ(list.IndexOfKey(c), -1);
}

TEST(ListKeys, KeysOfClearedEntriesStayDead) {
  ZQ_TList list;
  const ZQ_TListKey old = list.AddAtTail("old");
  list.Clear();
  list.AddAtTail("new");
  EXPECT_EQ(list.IndexOfKey(old), -1) << "a key of a cleared entry must not name a new one";

  // The same after the list was refilled from a stream.
  ZQ_TList other{"x", "y"};
  const ZQ_TListKey y = other.KeyAt(1);
  other = PackedCopy<ZQ_TList>(ZQ_TList{"p"});
  other.AddAtTail("q");
  EXPECT_EQ(other.IndexOfKey(y), -1);
}

TEST(ListKeys, KeysAreSharedByCopiesAndDistinctAfterwards) {
  ZQ_TList original{"a", "b", "c"};
  const ZQ_TListKey b = original.KeyAt(1);
  ZQ_TList copy = original;
  EXPECT_EQ(copy.KeyAt(1), b);
  copy.RemoveHead();
  EXPECT_EQ(copy.IndexOfKey(b), 0);
  EXPECT_EQ(original.IndexOfKey(b), 1);

  // Entries added to either copy afterwards get keys the other cannot match.
  const ZQ_TListKey inCopy = copy.AddAtTail("copy");
  const ZQ_TListKey inOriginal = original.AddAtTail("original");
  EXPECT_NE(inCopy, inOriginal);
  EXPECT_EQ(original.IndexOfKey(inCopy), -1);
  EXPECT_EQ(copy.IndexOfKey(inOriginal), -1);
}

TEST(ListKeys, OutOfRangeRaises) {
  ZQ_TList list{1};
  EXPECT_THROW(list.ValueAt(1), ZQ_ERange);
  EXPECT_THROW(std::as_const(list)[5], ZQ_ERange);
  EXPECT_THROW(list.KeyAt(1), ZQ_ERange);
  EXPECT_THROW(list.RemoveAt(1), ZQ_ERange);
  EXPECT_THROW(list.MoveToTail(1), ZQ_ERange);
  try {
    list.ValueAt(7);
  } catch (const ZQ_ERange& e) {
    EXPECT_EQ(e.Text(), "Index 7 outside the list");
  }
  ZQ_TList empty;
  empty.RemoveHead();  // nothing to remove
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.begin(), empty.end());
}

// ---------------------------------------------------------------------------
// Copy-on-write

TEST(CopyOnWrite, ListCopiesAreIndependent) {
  ZQ_TList original{"a", 1, true};
  const ZQ_TList snapshot = original;

  ZQ_TList copy = original;
  EXPECT_EQ(copy.begin(), original.begin()) << "a copy shares the entries";
  copy[0] = "changed";
  EXPECT_NE(copy.begin(), original.begin());
  copy.AddAtTail("added");
  copy.RemoveAt(1);
  copy.MoveToTail(0);
  EXPECT_EQ(original, snapshot);
  EXPECT_EQ(Texts(original), (Strings{"a", "1", "true"}));

  ZQ_TList viaKey = original;
  *viaKey.ValueOfKey(original.KeyAt(2)) = false;
  EXPECT_EQ(original[2], ZQ_TAny(true));

  ZQ_TList cleared = original;
  cleared.Clear();
  EXPECT_EQ(original.Entries(), 3u);

  // The original changes without touching its copies either.
  ZQ_TList before = original;
  original.AddAtHead("head");
  EXPECT_EQ(before, snapshot);
}

TEST(CopyOnWrite, IteratorsWriteOnlyTheirOwnList) {
  ZQ_TList original{"a", "b", "c", "d"};
  ZQ_TList copy = original;
  ZQ_TIterator<ZQ_TList> it(copy);
  ZQ_TList later = copy;  // copied after the iterator was made
  for (; !it.IsDone(); ++it) {
    if (it.Value() == ZQ_TAny("b")) {
      it.DeleteItem();
    } else {
      it.Value() = it.Value().ToText() + "!";
    }
  }
  EXPECT_EQ(Texts(copy), (Strings{"a!", "c!", "d!"}));
  EXPECT_EQ(Texts(original), (Strings{"a", "b", "c", "d"}));
  EXPECT_EQ(Texts(later), (Strings{"a", "b", "c", "d"}));

  ZQ_TDict dict;
  dict.Add("x", 1);
  dict.Add("y", 2);
  ZQ_TDict dictCopy = dict;
  for (ZQ_TIterator<ZQ_TDict> di(dictCopy); !di.IsDone(); ++di) {
    if (di.Key() == "x") di.DeleteItem();
    else di.Value() = 20;
  }
  EXPECT_EQ(Keys(dictCopy), (Strings{"y"}));
  EXPECT_EQ(dictCopy["y"], ZQ_TAny(20));
  EXPECT_EQ(Keys(dict), (Strings{"x", "y"}));
  EXPECT_EQ(*dict.ValueOfKey("y"), ZQ_TAny(2));

  int seen = 0;
  for (ZQ_TConstIterator<ZQ_TDict> ci(dict); !ci.IsDone(); ++ci) ++seen;
  EXPECT_EQ(seen, 2);
}

TEST(CopyOnWrite, NestedObjectsThroughMutableCasts) {
  ZQ_TDict inner;
  inner.Add("k", "v");
  ZQ_TList original;
  original.AddAtTail(ZQ_TAny(inner));
  original.AddAtTail(ZQ_TAny(ZQ_TList{1, 2}));

  ZQ_TList copy = original;
  ZQ_TDict* dict = copy[0].DynamicCast<ZQ_TDict>();
  ASSERT_NE(dict, nullptr);
  dict->Add("k", "changed");
  dict->Add("new", 1);
  ZQ_TList* list = copy[1].DynamicCast<ZQ_TList>();
  ASSERT_NE(list, nullptr);
  list->AddAtTail(3);

  const ZQ_TDict* originalDict = std::as_const(original)[0].DynamicCast<ZQ_TDict>();
  const ZQ_TList* originalList = std::as_const(original)[1].DynamicCast<ZQ_TList>();
  ASSERT_NE(originalDict, nullptr);
  ASSERT_NE(originalList, nullptr);
  EXPECT_EQ(*originalDict, inner);
  EXPECT_EQ(originalList->Entries(), 2u);
  EXPECT_EQ(std::as_const(copy)[1].DynamicCast<ZQ_TList>()->Entries(), 3u);

  // A value copied out of a container is independent of it too.
  ZQ_TAny value = std::as_const(original)[0];
  value.DynamicCast<ZQ_TDict>()->Remove("k");
  EXPECT_TRUE(originalDict->HasKey("k"));

  // The array holds variants, which share their objects until changed.
  ZQ_TArray array(1);
  array[0] = ZQ_TAny(inner);
  ZQ_TArray arrayCopy = array;
  arrayCopy[0].DynamicCast<ZQ_TDict>()->Add("more", 1);
  EXPECT_EQ(std::as_const(array)[0].DynamicCast<ZQ_TDict>()->Entries(), 1u);
}

// ---------------------------------------------------------------------------
// Dictionary

TEST(Dict, InsertionOrderReplacementAndRemoval) {
  ZQ_TDict dict;
  dict.Add("zeta", 1);
  dict.Add("alpha", 2);
  dict.Add("mid", 3);
  EXPECT_EQ(Keys(dict), (Strings{"zeta", "alpha", "mid"}));
  dict.Add("zeta", "replaced");
  EXPECT_EQ(Keys(dict), (Strings{"zeta", "alpha", "mid"})) << "replaced in place";
  EXPECT_EQ(dict.ValueAt(0), ZQ_TAny("replaced"));
  EXPECT_TRUE(dict["missing"].IsIllegal());
  EXPECT_EQ(Keys(dict), (Strings{"zeta", "alpha", "mid", "missing"}));
  EXPECT_TRUE(dict.Remove("alpha"));
  EXPECT_FALSE(dict.Remove("alpha"));
  EXPECT_EQ(Keys(dict), (Strings{"zeta", "mid", "missing"}));
  EXPECT_EQ(dict.KeyAt(1), "mid");
  dict.RemoveAt(0);
  EXPECT_EQ(Keys(dict), (Strings{"mid", "missing"}));
  EXPECT_THROW(dict.RemoveAt(2), ZQ_ERange);
  EXPECT_THROW(dict.KeyAt(2), ZQ_ERange);
  EXPECT_EQ(dict.ValueOfKey("alpha"), nullptr);

  // Keys may hold any bytes.
  const std::string odd("a\0b", 3);
  dict.Add(odd, 1);
  dict.Add("", 2);
  EXPECT_TRUE(dict.HasKey(odd));
  EXPECT_FALSE(dict.HasKey("a"));
  EXPECT_EQ(*dict.ValueOfKey(""), ZQ_TAny(2));

  // Equality ignores order.
  ZQ_TDict one, two;
  one.Add("a", 1);
  one.Add("b", 2);
  two.Add("b", 2);
  two.Add("a", 1);
  EXPECT_EQ(one, two);
  two.Add("a", 3);
  EXPECT_FALSE(one == two);
}

TEST(Dict, AddsAValueTakenFromItself) {
  ZQ_TDict dict;
  dict.Add("first", ZQ_TAny(ZQ_TString(std::string(50, 'v'))));
  // Adding a key may grow the entries; the value must be read before that.
  for (int i = 0; i < 40; ++i) dict.Add("copy" + std::to_string(i), dict["first"]);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(*dict.ValueOfKey("copy" + std::to_string(i)), ZQ_TAny(ZQ_TString(std::string(50, 'v'))));
  }
  ZQ_TList list{"seed"};
  for (int i = 0; i < 40; ++i) list.AddAtHead(list[list.Entries() - 1]);
  EXPECT_EQ(list[0], ZQ_TAny("seed"));
}

// The index used from eight entries on must agree with a plain map through
// additions, replacements and removals, in any order.
TEST(Dict, IndexMatchesAModelThroughManyChanges) {
  std::mt19937 random(1234);
  ZQ_TDict dict;
  std::map<std::string, unsigned> model;
  std::vector<std::string> order;
  for (int step = 0; step < 6000; ++step) {
    const std::string key = "k" + std::to_string(random() % 400);
    const unsigned action = random() % 10;
    if (action < 6) {
      const unsigned value = random();
      dict.Add(key, value);
      if (model.emplace(key, value).second) {
        order.push_back(key);
      } else {
        model[key] = value;
      }
    } else if (action < 9) {
      EXPECT_EQ(dict.Remove(key), model.erase(key) == 1);
      std::erase(order, key);
    } else {
      const ZQ_TAny* value = dict.ValueOfKey(key);
      auto it = model.find(key);
      ASSERT_EQ(value != nullptr, it != model.end()) << key << " at step " << step;
      if (value) {
        EXPECT_EQ(*value, ZQ_TAny(it->second));
      }
    }
    ASSERT_EQ(dict.Entries(), model.size());
  }
  EXPECT_EQ(Keys(dict), order);
  for (const auto& [key, value] : model) {
    ASSERT_NE(dict.ValueOfKey(key), nullptr) << key;
    EXPECT_EQ(*dict.ValueOfKey(key), ZQ_TAny(value));
  }
  for (int i = 0; i < 400; ++i) {
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(dict.HasKey(key), model.count(key) == 1) << key;
    EXPECT_FALSE(dict.HasKey(key + "x"));
  }
}

TEST(Dict, IndexAcrossTheThresholdAndInCopies) {
  ZQ_TDict dict;
  for (int i = 0; i < 20; ++i) {
    dict.Add("key" + std::to_string(i), i);
    for (int j = 0; j <= i; ++j) {
      ASSERT_TRUE(dict.HasKey("key" + std::to_string(j))) << i << " " << j;
    }
  }
  ZQ_TDict copy = dict;
  for (int i = 0; i < 20; i += 2) copy.Remove("key" + std::to_string(i));
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(copy.HasKey("key" + std::to_string(i)), i % 2 == 1);
    EXPECT_TRUE(dict.HasKey("key" + std::to_string(i)));
  }
  // Shrinking below the threshold and growing again.
  while (copy.Entries() > 3) copy.RemoveAt(copy.Entries() - 1);
  for (int i = 100; i < 110; ++i) copy.Add("key" + std::to_string(i), i);
  EXPECT_EQ(copy.Entries(), 13u);
  EXPECT_EQ(*copy.ValueOfKey("key105"), ZQ_TAny(105));
  EXPECT_EQ(*copy.ValueOfKey("key3"), ZQ_TAny(3));
  EXPECT_EQ(copy.KeyAt(3), "key100");
}

// ---------------------------------------------------------------------------
// Round trips

namespace {

ZQ_TDict RichDict() {
  ZQ_TDict dict;
  for (int i = 0; i < 12; ++i) dict.Add("n" + std::to_string(11 - i), i);  // indexed, not sorted
  dict.Add("text", "with \"quotes\"\nand lines");
  dict.Add("none", ZQ_TAny());
  dict.Add("flag", true);
  ZQ_TList inner{"x", ZQ_TAny(), false};
  ZQ_TDict nested;
  nested.Add("list", ZQ_TAny(inner));
  nested.Add("empty", ZQ_TAny(ZQ_TDict()));
  dict.Add("nested", ZQ_TAny(nested));
  ZQ_TArray array(3);
  array[1] = "middle";
  dict.Add("array", ZQ_TAny(array));
  dict.Add("url", ZQ_TAny(ZQ_TURL("/tmp/some file")));
  dict.Add("time", ZQ_TAny(ZQ_TTime(1700000000, 5)));
  return dict;
}

}  // namespace

TEST(ContainerStreams, RoundTripsKeepOrderAndNesting) {
  const ZQ_TDict dict = RichDict();
  for (bool packed : {true, false}) {
    ZQ_TDict back = packed ? PackedCopy<ZQ_TDict>(dict) : TextCopy<ZQ_TDict>(dict);
    EXPECT_EQ(back, dict);
    EXPECT_EQ(Keys(back), Keys(dict)) << "insertion order survives";
    EXPECT_EQ(*back.ValueOfKey("n3"), ZQ_TAny(8)) << "the index of the copy works";
  }
  ZQ_TList list{"a", ZQ_TAny(dict), ZQ_TAny(ZQ_TList{ZQ_TAny(ZQ_TList{})})};
  EXPECT_EQ(PackedCopy<ZQ_TList>(list), list);
  EXPECT_EQ(TextCopy<ZQ_TList>(list), list);
  ZQ_TArray array(4);
  array[0] = 1;
  array[3] = ZQ_TAny(list);
  EXPECT_TRUE(PackedCopy<ZQ_TArray>(array).ZQ_IsIdent(array));
  EXPECT_TRUE(TextCopy<ZQ_TArray>(array).ZQ_IsIdent(array));
  EXPECT_EQ(PackedCopy<ZQ_TArray>(ZQ_TArray()).Entries(), 0u);
  EXPECT_THROW(array[4], ZQ_ERange);
}

TEST(ContainerStreams, TextLayout) {
  ZQ_TDict dict;
  dict.Add("b", ZQ_TAny(ZQ_TList{1, "x"}));
  dict.Add("a", true);
  EXPECT_EQ(TextBytes(dict),
            "ZQ_TDict\n"
            "  2\n"
            "  \"b\" ZQ_TList\n"
            "    2\n"
            "    1\n"
            "    \"x\"\n"
            "\n"
            "  \"a\" true\n");
  // Printing for diagnostics.
  std::ostringstream printed;
  dict.PrintOn(printed);
  EXPECT_EQ(printed.str(), "{b: [1, \"x\"], a: true}");
  ZQ_TArray array(2);
  array[0] = "t";
  std::ostringstream arrayPrinted;
  array.PrintOn(arrayPrinted);
  EXPECT_EQ(arrayPrinted.str(), "(\"t\", (none))");
}

TEST(ContainerStreams, DuplicateKeysInDataKeepTheLastValue) {
  std::unique_ptr<ZQ_TObject> read = ExtractText("ZQ_TDict 3 \"a\" 1 \"b\" 2 \"a\" 3");
  const ZQ_TDict* dict = ZQ_DynamicCast<ZQ_TDict>(read.get());
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(Keys(*dict), (Strings{"a", "b"}));
  EXPECT_EQ(*dict->ValueOfKey("a"), ZQ_TAny(3));
}
