// Run-time classes: the registry, casts by class name across the virtual
// interfaces, objects rebuilt by class name; exceptions.
#include <atomic>
#include <memory>
#include <sstream>
#include <string>

#include "zq_test_support.h"

using namespace zqtest;

// A class registered by a client of the library: a shape with a nested list
// and variant, packed inside a section, and a subclass that adds a field.
class TestShape : public ZQ_TObject,
                  public virtual ZQ_IPackable,
                  public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(TestShape)
 public:
  static ZQ_TObject* ZQ_Create() { return new TestShape; }

  ZQ_TString name;
  std::uint32_t sides = 0;
  ZQ_TList points;
  ZQ_TAny tag;

  void ZQ_Pack(ZQ_IPacking& out) const override {
    out.BeginSection("TestShape");
    out.PackString(name);
    out.PackU32(sides);
    out.PackObject(&points);
    tag.Pack(out);
    out.EndSection("TestShape");
  }
  void ZQ_Unpack(ZQ_IUnpacking& in) override {
    in.EnterSection("TestShape");
    name = in.UnpackString();
    sides = in.UnpackU32();
    std::unique_ptr<ZQ_TObject> list(in.UnpackObject());
    const ZQ_TList* typed = ZQ_CAST(ZQ_TList, list.get());
    if (typed == nullptr) ZQ_THROW(ZQ_EStreamFormat, "TestShape without points");
    points = *typed;
    tag = ZQ_TAny::Unpack(in);
    in.LeaveSection("TestShape");
  }
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new TestShape(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override {
    const TestShape* shape = ZQ_DynamicCast<TestShape>(&other);
    return shape != nullptr && other.HasSuperclass(ClassName()) && shape->name == name &&
           shape->sides == sides && shape->points == points && shape->tag == tag;
  }
  bool WriteTo(ZQ_THumanReadableStream& out) const override {
    out.WriteText(name);
    out.WriteU32(sides);
    out.WriteObject(&points);
    out.WriteAny(tag);
    return false;
  }
  bool ReadFrom(ZQ_THumanReadableStream& in) override {
    name = in.ReadText();
    sides = in.ReadU32();
    std::unique_ptr<ZQ_TObject> list(in.ReadObject());
    const ZQ_TList* typed = ZQ_CAST(ZQ_TList, list.get());
    if (typed == nullptr) return true;
    points = *typed;
    tag = in.ReadAny();
    return false;
  }
};

class TestSquare : public TestShape {
  ZQ_CLASS_BOILERPLATE(TestSquare)
 public:
  static ZQ_TObject* ZQ_Create() { return new TestSquare; }
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new TestSquare(*this); }
};

ZQ_CLASS_IMPLEMENT(TestShape, ZQ_TObject, &TestShape::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IHumanReadable)
ZQ_CLASS_IMPLEMENT(TestSquare, TestShape, &TestSquare::ZQ_Create, nullptr)

namespace {

TestShape SampleShape() {
  TestShape shape;
  shape.name = "triangle";
  shape.sides = 3;
  shape.points = ZQ_TList{"p0", "p1", ZQ_TAny(ZQ_TList{1, 2})};
  ZQ_TDict tag;
  tag.Add("colour", "red");
  shape.tag = ZQ_TAny(tag);
  return shape;
}

std::atomic<int> gInitCalls{0};
std::atomic<int> gInitFailuresLeft{0};
bool FlakyInitializer() {
  ++gInitCalls;
  if (gInitFailuresLeft > 0) {
    --gInitFailuresLeft;
    return false;
  }
  return true;
}

ZQ_TObject* MakeTime() { return new ZQ_TTime(1, 2); }

}  // namespace

// ---------------------------------------------------------------------------
// Casts

TEST(Casts, AListSeenThroughItsInterfaces) {
  ZQ_TList list{"a"};
  ZQ_IPackable* packable = ZQ_CAST(ZQ_IPackable, &list);
  ASSERT_NE(packable, nullptr);
  EXPECT_EQ(static_cast<ZQ_IPackable*>(&list), packable) << "the packable subobject";
  ZQ_TList* back = ZQ_CAST(ZQ_TList, packable);
  EXPECT_EQ(back, &list);
  ZQ_IInterface* root = ZQ_CAST(ZQ_IInterface, packable);
  EXPECT_EQ(root, static_cast<ZQ_IInterface*>(&list));
  ZQ_IPrintable* printable = ZQ_CAST(ZQ_IPrintable, root);
  EXPECT_EQ(printable, static_cast<ZQ_IPrintable*>(&list));
  EXPECT_EQ(ZQ_CAST(ZQ_TList, printable), &list);
  EXPECT_EQ(ZQ_CAST(ZQ_TObject, printable), static_cast<ZQ_TObject*>(&list));
  EXPECT_EQ(root->ZQ_MostDerivedObject(), static_cast<void*>(&list));
  EXPECT_EQ(printable->ZQ_MostDerivedObject(), static_cast<void*>(&list));

  // Failed casts and null objects give null.
  EXPECT_EQ(ZQ_CAST(ZQ_TDict, packable), nullptr);
  EXPECT_EQ(ZQ_CAST(ZQ_IThrowable, root), nullptr);
  EXPECT_EQ(ZQ_CAST(ZQ_TList, static_cast<ZQ_IInterface*>(nullptr)), nullptr);
  const ZQ_IInterface* constRoot = root;
  EXPECT_EQ(ZQ_DynamicCast<ZQ_TList>(constRoot), &list);
  EXPECT_EQ(ZQ_DynamicCast<ZQ_TString>(constRoot), nullptr);

  EXPECT_STREQ(packable->ClassName(), "ZQ_TList");
  EXPECT_EQ(root->ClassObject(), ZQ_TList::ZQ_ClassObject());
}

TEST(Casts, ClientClassesAndExceptions) {
  TestSquare square;
  ZQ_IInterface* root = &square;
  EXPECT_EQ(ZQ_CAST(TestShape, root), static_cast<TestShape*>(&square));
  EXPECT_EQ(ZQ_CAST(TestSquare, ZQ_CAST(ZQ_IHumanReadable, root)), &square);
  EXPECT_STREQ(root->ClassName(), "TestSquare");
  EXPECT_TRUE(root->HasSuperclass("TestShape"));
  EXPECT_TRUE(root->HasSuperclass("ZQ_TObject"));
  EXPECT_FALSE(root->HasSuperclass("ZQ_IPackable")) << "an interface is no superclass";
  EXPECT_TRUE(root->HasInterface("ZQ_IPackable")) << "inherited from the parent";
  EXPECT_TRUE(root->HasInterface("ZQ_IInterface"));
  EXPECT_FALSE(root->HasInterface("ZQ_IPrintable"));

  ZQ_EStreamTruncated error("m", ZQ_TAny());
  ZQ_IInterface* errorRoot = &error;
  EXPECT_EQ(ZQ_CAST(ZQ_EStream, errorRoot), static_cast<ZQ_EStream*>(&error));
  EXPECT_EQ(ZQ_CAST(ZQ_EException, ZQ_CAST(ZQ_IThrowable, errorRoot)),
            static_cast<ZQ_EException*>(&error));
  EXPECT_EQ(ZQ_CAST(ZQ_EStreamFormat, errorRoot), nullptr) << "a sibling class";
  EXPECT_EQ(ZQ_CAST(ZQ_ERange, errorRoot), nullptr);
  EXPECT_TRUE(error.HasSuperclass("ZQ_EException"));
  EXPECT_TRUE(error.Implements("ZQ_IThrowable"));
}

// ---------------------------------------------------------------------------
// The registry

TEST(Registry, OneObjectPerNameAndRelations) {
  const ZQ_TClass* list = ZQ_TClass::Find("ZQ_TList");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list, ZQ_TList::ZQ_ClassObject());
  EXPECT_EQ(ZQ_TClass::GetClassObject(false, "ZQ_TList", 1, nullptr, nullptr, nullptr), list)
      << "a later registration returns the first object";
  EXPECT_EQ(list->Size(), sizeof(ZQ_TList));
  EXPECT_EQ(list->Parent(), ZQ_TObject::ZQ_ClassObject());
  EXPECT_FALSE(list->IsInterface());
  EXPECT_TRUE(ZQ_IPackable::ZQ_ClassObject()->IsInterface());
  EXPECT_TRUE(list->Implements("ZQ_IPackable"));
  EXPECT_TRUE(list->Implements("ZQ_IInterface"));
  EXPECT_TRUE(list->Implements("ZQ_TObject"));
  EXPECT_FALSE(list->Implements("ZQ_IThrowable"));
  EXPECT_TRUE(list->HasSuperclass("ZQ_TList"));
  EXPECT_TRUE(list->HasSuperclass("ZQ_TObject"));
  EXPECT_FALSE(list->HasSuperclass("ZQ_IPackable"));
  EXPECT_TRUE(ZQ_ERange::ZQ_HasSuperclass("ZQ_EException"));
  EXPECT_FALSE(ZQ_ERange::ZQ_HasSuperclass("ZQ_EStream"));
  EXPECT_EQ(ZQ_EStreamFormat::ZQ_ParentClass(), ZQ_EStream::ZQ_ClassObject());
  EXPECT_EQ(ZQ_TClass::Find("NoSuchClass"), nullptr);
  EXPECT_EQ(ZQ_TClass::Find(nullptr), nullptr);
  EXPECT_EQ(ZQ_TClass::CreateObject(nullptr), nullptr);
}

TEST(Registry, CreationByName) {
  std::unique_ptr<ZQ_TObject> list(ZQ_TClass::CreateObject("ZQ_TList"));
  ASSERT_NE(list, nullptr);
  EXPECT_NE(ZQ_CAST(ZQ_TList, list.get()), nullptr);
  std::unique_ptr<ZQ_TObject> error(ZQ_TClass::CreateObject("ZQ_EStreamFormat"));
  EXPECT_NE(ZQ_CAST(ZQ_EStreamFormat, error.get()), nullptr);
  TestShape::ZQ_ClassObject();
  std::unique_ptr<ZQ_TObject> shape(ZQ_TClass::CreateObject("TestShape"));
  EXPECT_NE(ZQ_CAST(TestShape, shape.get()), nullptr);
  EXPECT_EQ(ZQ_TClass::CreateObject("ZQ_IPackable"), nullptr) << "interfaces are not created";
  EXPECT_EQ(ZQ_TClass::CreateObject("NoSuchClass"), nullptr);
}

TEST(Registry, KeepsItsOwnCopyOfTheName) {
  std::string name = "TestTransientName";
  const ZQ_TClass* made =
      ZQ_TClass::GetClassObject(false, name.c_str(), 8, nullptr, &MakeTime, nullptr);
  // The caller's text may go away (a module that registered it was unloaded).
  name.assign(name.size(), '#');
  name = "something else entirely, long enough to move the buffer";
  EXPECT_STREQ(made->Name(), "TestTransientName");
  EXPECT_EQ(ZQ_TClass::Find("TestTransientName"), made);
  std::unique_ptr<ZQ_TObject> object(ZQ_TClass::CreateObject("TestTransientName"));
  EXPECT_NE(ZQ_CAST(ZQ_TTime, object.get()), nullptr);
}

TEST(Registry, InitializeRunsOnceAndRetriesAfterFailure) {
  const ZQ_TClass* flaky = ZQ_TClass::GetClassObject(false, "TestFlakyClass", 1, nullptr,
                                                     nullptr, &FlakyInitializer);
  gInitCalls = 0;
  gInitFailuresLeft = 2;
  EXPECT_FALSE(flaky->Initialize());
  EXPECT_FALSE(flaky->Initialize());
  EXPECT_TRUE(flaky->Initialize());
  EXPECT_TRUE(flaky->Initialize());
  EXPECT_TRUE(flaky->Initialize());
  EXPECT_EQ(gInitCalls, 3) << "two failures, one success, then never again";

  const ZQ_TClass* plain =
      ZQ_TClass::GetClassObject(false, "TestPlainClass", 1, nullptr, nullptr, nullptr);
  EXPECT_TRUE(plain->Initialize());
  EXPECT_EQ(plain->Create(), nullptr);
  EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_zqtypes__());
  EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_zqtypes__());
}

TEST(Registry, RegisteredInterfacesAreKeptOnce) {
  ZQ_TClass* object =
      ZQ_TClass::GetClassObject(false, "TestInterfaceHolder", 1, nullptr, nullptr, nullptr);
  const ZQ_TClass* again = ZQ_TClass::Register(false, "TestInterfaceHolder", 1, nullptr, nullptr,
                                               nullptr, {ZQ_IPrintable::ZQ_ClassObject()});
  EXPECT_EQ(again, object);
  EXPECT_TRUE(object->IsSetUp());
  EXPECT_TRUE(object->Implements("ZQ_IPrintable"));
  // A second registration does not add its interfaces.
  ZQ_TClass::Register(false, "TestInterfaceHolder", 1, nullptr, nullptr, nullptr,
                      {ZQ_IPackable::ZQ_ClassObject()});
  EXPECT_FALSE(object->Implements("ZQ_IPackable"));
  object->AddInterface(ZQ_IPackable::ZQ_ClassObject());
  object->AddInterface(ZQ_IPackable::ZQ_ClassObject());
  EXPECT_TRUE(object->Implements("ZQ_IPackable"));
}

// ---------------------------------------------------------------------------
// Objects rebuilt by class name

TEST(ClientObjects, NestedObjectsRebuiltByClassName) {
  TestShape shape = SampleShape();
  TestSquare square;
  square.name = "square";
  square.sides = 4;
  square.tag = ZQ_TAny(shape);

  ZQ_TDict scene;
  scene.Add("shape", ZQ_TAny(shape));
  scene.Add("square", ZQ_TAny(square));
  for (bool packed : {true, false}) {
    ZQ_TDict back = packed ? PackedCopy<ZQ_TDict>(scene) : TextCopy<ZQ_TDict>(scene);
    EXPECT_EQ(back, scene);
    const TestSquare* rebuilt = back.ValueOfKey("square")->DynamicCast<TestSquare>();
    ASSERT_NE(rebuilt, nullptr) << "the subclass is rebuilt, not its parent";
    const TestShape* inner = rebuilt->tag.DynamicCast<TestShape>();
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->points, shape.points);
    EXPECT_EQ(back.ValueOfKey("shape")->DynamicCast<TestSquare>(), nullptr);
  }
  EXPECT_EQ(PackedCopy<TestSquare>(square).name, "square");
}

// ---------------------------------------------------------------------------
// Exceptions

TEST(Exceptions, MessageFilledFromTheDatum) {
  ZQ_EException error("Cannot open %s now", ZQ_TAny("file.txt"));
  EXPECT_EQ(error.Text(), "Cannot open file.txt now");
  EXPECT_STREQ(error.what(), "Cannot open file.txt now");
  EXPECT_EQ(ZQ_EException("Count %s", ZQ_TAny(12u)).Text(), "Count 12");
  EXPECT_EQ(ZQ_EException("No datum %s here", ZQ_TAny()).Text(), "No datum  here");
  EXPECT_EQ(ZQ_EException("Plain", ZQ_TAny("unused")).Text(), "Plain");
  ZQ_EException changed("a", ZQ_TAny("x"));
  changed.SetMessage("b %s");
  EXPECT_STREQ(changed.what(), "b x");
  ZQ_EException copy = changed;
  EXPECT_STREQ(copy.what(), "b x");
  ZQ_EException assigned;
  assigned = copy;
  EXPECT_EQ(assigned.Text(), "b x");
}

TEST(Exceptions, ThrowRecordsThePlaceAndRaisesTheMostDerivedClass) {
  const int line = __LINE__ + 2;
  try {
    ZQ_THROW(ZQ_EStreamTruncated, "Ends inside %s", ZQ_TAny("a string"));
  } catch (const ZQ_EStream& e) {
    EXPECT_STREQ(e.ClassName(), "ZQ_EStreamTruncated");
    EXPECT_EQ(e.Line(), line);
    EXPECT_NE(e.File().Find("class_exception_test.cpp"), -1) << e.File();
    EXPECT_EQ(e.Text(), "Ends inside a string");
    EXPECT_FALSE(e.StackTrace().IsEmpty());
    std::ostringstream printed;
    e.PrintOn(printed);
    EXPECT_EQ(printed.str().rfind("ZQ_EStreamTruncated: Ends inside a string (", 0), 0u)
        << printed.str();
  }

  // Raising through a reference to the root still throws the real class.
  ZQ_EStreamFormat format("bad", ZQ_TAny());
  format.__PREPARE_FOR_THROW__(77, "here.cpp");
  const ZQ_EException& root = format;
  EXPECT_THROW(root.ZQ_Raise(), ZQ_EStreamFormat);
  try {
    root.ZQ_Raise();
  } catch (const ZQ_EStreamFormat& e) {
    EXPECT_EQ(e.Line(), 77);
    EXPECT_EQ(e.File(), "here.cpp");
  }
  EXPECT_THROW(root.ZQ_Raise(), std::exception);
  const ZQ_IThrowable& throwable = format;
  EXPECT_THROW(throwable.ZQ_Raise(), ZQ_EStream);

  // An exception rebuilt by class name raises as that class too.
  std::unique_ptr<ZQ_TObject> made(ZQ_TClass::CreateObject("ZQ_EUnknownClass"));
  const ZQ_IThrowable* madeThrowable = ZQ_CAST(ZQ_IThrowable, made.get());
  ASSERT_NE(madeThrowable, nullptr);
  EXPECT_THROW(madeThrowable->ZQ_Raise(), ZQ_EUnknownClass);
}

TEST(Exceptions, RoundTripsKeepMessageDataAndPlace) {
  ZQ_TDict datum;
  datum.Add("offset", 12u);
  ZQ_ERange error("Out of %s", ZQ_TAny(datum));
  error.__PREPARE_FOR_THROW__(123, "some/file.cpp");
  const ZQ_TString stack = error.StackTrace();

  for (bool packed : {true, false}) {
    ZQ_ERange back = packed ? PackedCopy<ZQ_ERange>(error) : TextCopy<ZQ_ERange>(error);
    EXPECT_EQ(back.Message(), "Out of %s");
    EXPECT_EQ(back.Data(), error.Data());
    EXPECT_EQ(back.Line(), 123);
    EXPECT_EQ(back.File(), "some/file.cpp");
    EXPECT_EQ(back.Text(), error.Text());
    EXPECT_STREQ(back.what(), error.what());
    EXPECT_EQ(back.StackTrace(), stack) << "the symbolised stack travels along";
    EXPECT_TRUE(back.ZQ_IsIdent(error));
    EXPECT_THROW(back.ZQ_Raise(), ZQ_ERange);
  }
  // A subclass compares equal to its parent one way only.
  ZQ_EStream parent("m", ZQ_TAny());
  ZQ_EStreamFormat child("m", ZQ_TAny());
  EXPECT_TRUE(parent.ZQ_IsIdent(child));
  EXPECT_FALSE(child.ZQ_IsIdent(parent));
}
