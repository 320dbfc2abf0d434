// ZQ_TList, ZQ_TDict, ZQ_TArray and their iterators: stable list keys,
// copy-on-write independence, dictionary order and index, stream forms.
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "zq_test_support.h"

using namespace zqtest;

namespace {

using Strings = std::vector<std::string>;

Strings Texts(const ZQ_TList& list) {
  Strings out;
  for (const ZQ_TList::Entry& entry : list) out.push_back(entry.value.ToText().Std());
  return out;
}

Strings Keys(const ZQ_TDict& dict) {
  Strings out;
  for (const ZQ_TDict::Entry& entry : dict) out.push_back(entry.key.Std());
  return out;
}

}  // namespace

// A key names its entry through changes elsewhere, and never another entry:
// not after removal or Clear, not in a refilled list, not in a copy that grew
// apart (keys were once counted per list and came back).
TEST(ListKeys, NameTheirEntryAndNoOther) {
  ZQ_TList list;
  const ZQ_TListKey b = list.AddAtTail("b");
  const ZQ_TListKey c = list.AddAtTail("c");
  const ZQ_TListKey a = list.AddAtHead("a");
  EXPECT_EQ(Texts(list), (Strings{"a", "b", "c"}));
  EXPECT_EQ(list.IndexOfKey(c), 2);
  EXPECT_EQ(list.KeyOf("c"), c);
  EXPECT_EQ(list.IndexOfKey(ZQ_TListKey()), -1);

  list.RemoveHead();
  EXPECT_EQ(list.ValueOfKey(a), nullptr);
  EXPECT_EQ(*list.ValueOfKey(c), ZQ_TAny("c"));
  const ZQ_TListKey z = list.AddAtHead("z");
  list.MoveToTail(0);
  EXPECT_EQ(Texts(list), (Strings{"b", "c", "z"}));
  EXPECT_EQ(list.IndexOfKey(z), 2);
  EXPECT_TRUE(list.Remove(c));
  EXPECT_FALSE(list.Remove(c));
  for (int i = 0; i < 10; ++i) list.AddAtTail(i);
  EXPECT_EQ(list.IndexOfKey(c), -1);

  list.Clear();
  list.AddAtTail("new");
  EXPECT_EQ(list.IndexOfKey(b), -1) << "a key of a cleared entry names a new one";
  ZQ_TList refilled{"x", "y"};
  const ZQ_TListKey y = refilled.KeyAt(1);
  refilled = Copy<ZQ_TList>(ZQ_TList{"p"}, true);
  refilled.AddAtTail("q");
  EXPECT_EQ(refilled.IndexOfKey(y), -1);

  ZQ_TList original{"a", "b", "c"};
  const ZQ_TListKey ob = original.KeyAt(1);
  ZQ_TList copy = original;
  copy.RemoveHead();
  EXPECT_EQ(copy.IndexOfKey(ob), 0) << "copies share the keys they were made with";
  EXPECT_EQ(original.IndexOfKey(ob), 1);
  const ZQ_TListKey inCopy = copy.AddAtTail("copy");
  const ZQ_TListKey inOriginal = original.AddAtTail("original");
  EXPECT_NE(inCopy, inOriginal);
  EXPECT_EQ(original.IndexOfKey(inCopy), -1);
  EXPECT_EQ(copy.IndexOfKey(inOriginal), -1);
}

TEST(ListKeys, OutOfRangeRaises) {
  ZQ_TList list{1};
  EXPECT_EQ(testsupport::Raised<ZQ_ERange>([&] { list.ValueAt(7); }).Text(),
            "Index 7 outside the list");
  EXPECT_THROW(list.RemoveAt(1), ZQ_ERange);
  EXPECT_THROW(ZQ_TArray(4)[4], ZQ_ERange);
  ZQ_TList empty;
  empty.RemoveHead();  // nothing to remove
}

// Every way of changing a copy, including through iterators, keys and
// mutable casts of nested objects, leaves the original alone.
TEST(CopyOnWrite, ChangesReachOnlyTheCopyChanged) {
  ZQ_TDict inner;
  inner.Add("k", "v");
  ZQ_TList original{"a", "b", ZQ_TAny(inner), ZQ_TAny(ZQ_TList{1, 2})};
  const ZQ_TList snapshot = original;

  ZQ_TList copy = original;
  EXPECT_EQ(copy.begin(), original.begin()) << "a copy shares the entries";
  copy[0] = "changed";
  copy.AddAtTail("added");
  copy.MoveToTail(0);
  *copy.ValueOfKey(original.KeyAt(1)) = false;
  copy[1].DynamicCast<ZQ_TDict>()->Add("k", "changed");
  copy[2].DynamicCast<ZQ_TList>()->AddAtTail(3);

  ZQ_TList iterated = original;
  ZQ_TIterator<ZQ_TList> it(iterated);
  const ZQ_TList later = iterated;  // copied after the iterator was made
  for (; !it.IsDone(); ++it) {
    if (it.Value() == ZQ_TAny("b")) {
      it.DeleteItem();
    } else {
      it.Value() = it.Value().ToText() + "!";
    }
  }
  EXPECT_EQ(iterated.Entries(), 3u);
  EXPECT_EQ(iterated[0], ZQ_TAny("a!"));
  EXPECT_EQ(later, snapshot);
  EXPECT_EQ(original, snapshot);
  EXPECT_EQ(*std::as_const(original)[2].DynamicCast<ZQ_TDict>(), inner);
  EXPECT_EQ(std::as_const(original)[3].DynamicCast<ZQ_TList>()->Entries(), 2u);

  ZQ_TDict dict;
  for (int i = 0; i < 12; ++i) dict.Add("n" + std::to_string(i), i);  // indexed
  ZQ_TDict dictCopy = dict;
  for (ZQ_TIterator<ZQ_TDict> di(dictCopy); !di.IsDone(); ++di) {
    if (di.Key() == "n0") di.DeleteItem();
    else di.Value() = 20;
  }
  dictCopy.Remove("n5");
  EXPECT_FALSE(dictCopy.HasKey("n0"));
  EXPECT_EQ(dict.Entries(), 12u);
  EXPECT_TRUE(dict.HasKey("n0") && dict.HasKey("n5"));
  EXPECT_EQ(*dict.ValueOfKey("n7"), ZQ_TAny(7));

  ZQ_TArray array(1);
  array[0] = ZQ_TAny(inner);
  ZQ_TArray arrayCopy = array;
  arrayCopy[0].DynamicCast<ZQ_TDict>()->Add("more", 1);
  EXPECT_EQ(std::as_const(array)[0].DynamicCast<ZQ_TDict>()->Entries(), 1u);
}

// Keys keep their first place when replaced; they may hold any bytes; two
// dictionaries are equal whatever their order.
TEST(Dict, InsertionOrderReplacementAndRemoval) {
  ZQ_TDict dict;
  dict.Add("zeta", 1);
  dict.Add("alpha", 2);
  dict.Add("zeta", "replaced");
  EXPECT_TRUE(dict["missing"].IsIllegal());
  EXPECT_EQ(Keys(dict), (Strings{"zeta", "alpha", "missing"}));
  EXPECT_EQ(dict.ValueAt(0), ZQ_TAny("replaced"));
  EXPECT_TRUE(dict.Remove("alpha"));
  EXPECT_FALSE(dict.Remove("alpha"));
  dict.RemoveAt(0);
  EXPECT_EQ(Keys(dict), (Strings{"missing"}));
  EXPECT_THROW(dict.RemoveAt(1), ZQ_ERange);
  const std::string odd("a\0b", 3);
  dict.Add(odd, 1);
  dict.Add("", 2);
  EXPECT_TRUE(dict.HasKey(odd));
  EXPECT_FALSE(dict.HasKey("a"));
  EXPECT_EQ(*dict.ValueOfKey(""), ZQ_TAny(2));
  ZQ_TDict one, two;
  one.Add("a", 1);
  one.Add("b", 2);
  two.Add("b", 2);
  two.Add("a", 1);
  EXPECT_EQ(one, two);
  two.Add("a", 3);
  EXPECT_FALSE(one == two);
}

// Adding a key may move the entries; a value taken from the container itself
// must be read before that.
TEST(Dict, AddsAValueTakenFromItself) {
  ZQ_TDict dict;
  const ZQ_TAny value(ZQ_TString(std::string(50, 'v')));
  dict.Add("first", value);
  for (int i = 0; i < 40; ++i) dict.Add("copy" + std::to_string(i), dict["first"]);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(*dict.ValueOfKey("copy" + std::to_string(i)), value);
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
  Strings order;
  for (int step = 0; step < 6000; ++step) {
    const std::string key = "k" + std::to_string(random() % 400);
    const unsigned action = random() % 10;
    if (action < 6) {
      const unsigned value = random();
      dict.Add(key, value);
      if (model.emplace(key, value).second) order.push_back(key);
      model[key] = value;
    } else if (action < 9) {
      EXPECT_EQ(dict.Remove(key), model.erase(key) == 1);
      std::erase(order, key);
    } else {
      const ZQ_TAny* value = dict.ValueOfKey(key);
      ASSERT_EQ(value != nullptr, model.count(key) == 1) << key << " at step " << step;
      if (value) {
        EXPECT_EQ(*value, ZQ_TAny(model[key]));
      }
    }
    ASSERT_EQ(dict.Entries(), model.size());
  }
  EXPECT_EQ(Keys(dict), order);
  for (int i = 0; i < 400; ++i) {
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(dict.HasKey(key), model.count(key) == 1) << key;
    EXPECT_FALSE(dict.HasKey(key + "x"));
  }
}

TEST(ContainerStreams, RoundTripsKeepOrderAndNesting) {
  ZQ_TDict dict;
  for (int i = 0; i < 12; ++i) dict.Add("n" + std::to_string(11 - i), i);  // indexed, not sorted
  dict.Add("none", ZQ_TAny());
  dict.Add("numbers", ZQ_TAny(ZQ_TList{0u, 0xFFFFFFFFu, true, false, "1"}));
  ZQ_TDict nested;
  nested.Add("list", ZQ_TAny(ZQ_TList{"x", ZQ_TAny(), false}));
  nested.Add("empty", ZQ_TAny(ZQ_TDict()));
  dict.Add("nested", ZQ_TAny(nested));
  ZQ_TArray array(3);
  array[1] = "middle";
  dict.Add("array", ZQ_TAny(array));
  EXPECT_EQ(RoundTrip(dict), "");
  EXPECT_EQ(RoundTrip(ZQ_TList{"a", ZQ_TAny(dict), ZQ_TAny(ZQ_TList{ZQ_TAny(ZQ_TList{})})}), "");
  for (bool packed : {true, false}) {
    ZQ_TDict back = Copy<ZQ_TDict>(dict, packed);
    EXPECT_EQ(Keys(back), Keys(dict)) << "insertion order survives";
    EXPECT_EQ(*back.ValueOfKey("n3"), ZQ_TAny(8)) << "the index of the copy works";
  }
}

TEST(ContainerStreams, TextLayoutPrintingAndDuplicateKeys) {
  ZQ_TDict dict;
  dict.Add("b", ZQ_TAny(ZQ_TList{1, "x"}));
  dict.Add("a", true);
  EXPECT_EQ(TextBytes(dict),
            "ZQ_TDict\n  2\n  \"b\" ZQ_TList\n    2\n    1\n    \"x\"\n\n  \"a\" true\n");
  EXPECT_EQ(testsupport::Printed(dict), "{b: [1, \"x\"], a: true}");
  ZQ_TArray array(2);
  array[0] = "t";
  EXPECT_EQ(testsupport::Printed(array), "(\"t\", (none))");
  // A key given twice in the data keeps its first place and last value.
  std::unique_ptr<ZQ_TObject> read = ExtractText("ZQ_TDict 3 \"a\" 1 \"b\" 2 \"a\" 3");
  const ZQ_TDict* back = ZQ_DynamicCast<ZQ_TDict>(read.get());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Keys(*back), (Strings{"a", "b"}));
  EXPECT_EQ(*back->ValueOfKey("a"), ZQ_TAny(3));
}
