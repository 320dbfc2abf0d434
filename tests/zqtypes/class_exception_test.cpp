// Run-time classes: the registry and casts by class name across the virtual
// interfaces; exceptions.
#include <atomic>
#include <memory>
#include <string>

#include "zq_test_support.h"

using namespace zqtest;

namespace {

std::atomic<int> gInitCalls{0};
std::atomic<int> gInitFailuresLeft{0};
bool FlakyInitializer() {
  ++gInitCalls;
  if (gInitFailuresLeft == 0) return true;
  --gInitFailuresLeft;
  return false;
}

ZQ_TObject* MakeTime() { return new ZQ_TTime(1, 2); }

}  // namespace

// Casts reach every subobject from every other, across classes with several
// virtual interfaces and their subclasses.
TEST(Casts, AcrossInterfacesAndSubclasses) {
  ZQ_TList list{"a"};
  ZQ_IPackable* packable = ZQ_CAST(ZQ_IPackable, &list);
  ASSERT_EQ(packable, static_cast<ZQ_IPackable*>(&list));
  ZQ_IInterface* root = ZQ_CAST(ZQ_IInterface, packable);
  EXPECT_EQ(root, static_cast<ZQ_IInterface*>(&list));
  ZQ_IPrintable* printable = ZQ_CAST(ZQ_IPrintable, root);
  EXPECT_EQ(printable, static_cast<ZQ_IPrintable*>(&list));
  EXPECT_EQ(ZQ_CAST(ZQ_TList, printable), &list);
  EXPECT_EQ(ZQ_CAST(ZQ_TDict, packable), nullptr);
  EXPECT_EQ(ZQ_CAST(ZQ_TList, static_cast<ZQ_IInterface*>(nullptr)), nullptr);

  ZQ_EStreamTruncated error("m", ZQ_TAny());
  ZQ_IInterface* errorRoot = &error;
  EXPECT_EQ(ZQ_CAST(ZQ_EStream, errorRoot), static_cast<ZQ_EStream*>(&error));
  EXPECT_EQ(ZQ_CAST(ZQ_EStreamFormat, errorRoot), nullptr) << "a sibling class";
  EXPECT_TRUE(errorRoot->HasSuperclass("ZQ_EStream"));
  EXPECT_FALSE(errorRoot->HasSuperclass("ZQ_IPackable")) << "an interface is no superclass";
  EXPECT_TRUE(errorRoot->HasInterface("ZQ_IPackable")) << "inherited from a parent";
}

// One class object per name, whoever registers it, keeping its own copy of
// the name; null or unknown names and interfaces give no object.
TEST(Registry, OneObjectPerNameAndCreationByName) {
  const ZQ_TClass* list = ZQ_TClass::Find("ZQ_TList");
  ASSERT_EQ(list, ZQ_TList::ZQ_ClassObject());
  EXPECT_EQ(ZQ_TClass::GetClassObject(false, "ZQ_TList", 1, nullptr, nullptr, nullptr), list)
      << "a later registration returns the first object";
  EXPECT_EQ(ZQ_TClass::Find(nullptr), nullptr);
  EXPECT_EQ(ZQ_TClass::GetClassObject(false, nullptr, 1, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(ZQ_TClass::CreateObject(nullptr), nullptr);
  EXPECT_EQ(ZQ_TClass::CreateObject("NoSuchClass"), nullptr);
  EXPECT_EQ(ZQ_TClass::CreateObject("ZQ_IPackable"), nullptr) << "interfaces are not created";

  // The caller's text may go away (the module that registered it is unloaded).
  std::string name = "TestTransientName";
  const ZQ_TClass* made =
      ZQ_TClass::GetClassObject(false, name.c_str(), 8, nullptr, &MakeTime, nullptr);
  name.assign(name.size(), '#');
  name = "something else entirely, long enough to move the buffer";
  EXPECT_STREQ(made->Name(), "TestTransientName");
  EXPECT_EQ(ZQ_TClass::Find("TestTransientName"), made);
  std::unique_ptr<ZQ_TObject> object(ZQ_TClass::CreateObject("TestTransientName"));
  EXPECT_NE(ZQ_CAST(ZQ_TTime, object.get()), nullptr);
}

// Initialisation is retried until it succeeds; a second registration adds no
// interfaces.
TEST(Registry, InitializeRetriesAfterFailureAndInterfacesAreKeptOnce) {
  const ZQ_TClass* flaky = ZQ_TClass::GetClassObject(false, "TestFlakyClass", 1, nullptr,
                                                     nullptr, &FlakyInitializer);
  gInitCalls = 0;
  gInitFailuresLeft = 2;
  for (bool expected : {false, false, true, true, true}) EXPECT_EQ(flaky->Initialize(), expected);
  EXPECT_EQ(gInitCalls, 3) << "two failures, one success, then never again";

  ZQ_TClass* holder =
      ZQ_TClass::GetClassObject(false, "TestInterfaceHolder", 1, nullptr, nullptr, nullptr);
  EXPECT_EQ(ZQ_TClass::Register(false, "TestInterfaceHolder", 1, nullptr, nullptr, nullptr,
                                {ZQ_IPrintable::ZQ_ClassObject()}),
            holder);
  EXPECT_TRUE(holder->Implements("ZQ_IPrintable"));
  ZQ_TClass::Register(false, "TestInterfaceHolder", 1, nullptr, nullptr, nullptr,
                      {ZQ_IPackable::ZQ_ClassObject()});
  EXPECT_FALSE(holder->Implements("ZQ_IPackable")) << "a second registration adds nothing";
}

// The message is filled from the datum; ZQ_THROW records the place and
// raises the most derived class, as ZQ_Raise does through a base.
TEST(Exceptions, MessagePlaceAndTheMostDerivedClass) {
  EXPECT_EQ(ZQ_EException("Count %s", ZQ_TAny(12u)).Text(), "Count 12");
  EXPECT_EQ(ZQ_EException("No datum %s here", ZQ_TAny()).Text(), "No datum  here");
  ZQ_EException changed("a", ZQ_TAny("x"));
  changed.SetMessage("b %s");
  EXPECT_STREQ(ZQ_EException(changed).what(), "b x");
  // The stack only when asked for: walking it is most of a throw's cost.
  for (const bool stacks : {false, true}) {
    ZQ_EException::RecordStacks(stacks);
    try {
      ZQ_THROW(ZQ_EStreamTruncated, "Ends inside %s", ZQ_TAny("a string"));
    } catch (const ZQ_EStream& e) {
      EXPECT_EQ(e.StackTrace().IsEmpty(), !stacks);
    }
  }
  const int line = __LINE__ + 2;
  try {
    ZQ_THROW(ZQ_EStreamTruncated, "Ends inside %s", ZQ_TAny("a string"));
  } catch (const ZQ_EStream& e) {
    EXPECT_STREQ(e.ClassName(), "ZQ_EStreamTruncated");
    EXPECT_EQ(e.Line(), line);
    EXPECT_NE(e.File().Find("class_exception_test.cpp"), -1) << e.File();
    EXPECT_FALSE(e.StackTrace().IsEmpty());
    EXPECT_EQ(testsupport::Printed(e).rfind("ZQ_EStreamTruncated: Ends inside a string (", 0), 0u)
        << testsupport::Printed(e);
  }
  ZQ_EStreamFormat format("bad", ZQ_TAny());
  format.__PREPARE_FOR_THROW__(77, "here.cpp");
  const ZQ_IThrowable& throwable = format;
  try {
    throwable.ZQ_Raise();
  } catch (const ZQ_EStreamFormat& e) {
    EXPECT_EQ(e.Line(), 77);
    EXPECT_EQ(e.File(), "here.cpp");
  }
}

// Both forms keep the message, datum, place and stack (the text form once
// lacked exceptions altogether).
TEST(Exceptions, RoundTripsKeepMessageDataAndPlace) {
  ZQ_TDict datum;
  datum.Add("offset", 12u);
  ZQ_ERange error("Out of %s", ZQ_TAny(datum));
  error.__PREPARE_FOR_THROW__(123, "some/file.cpp");
  EXPECT_EQ(RoundTrip(error), "");
  for (bool packed : {true, false}) {
    ZQ_ERange back = Copy<ZQ_ERange>(error, packed);
    EXPECT_EQ(back.Message(), "Out of %s");
    EXPECT_EQ(back.Data(), error.Data());
    EXPECT_EQ(back.Line(), 123);
    EXPECT_EQ(back.File(), "some/file.cpp");
    EXPECT_EQ(back.StackTrace(), error.StackTrace());
    EXPECT_THROW(back.ZQ_Raise(), ZQ_ERange);
  }
  // A subclass compares equal to its parent one way only.
  EXPECT_TRUE(ZQ_EStream("m", ZQ_TAny()).ZQ_IsIdent(ZQ_EStreamFormat("m", ZQ_TAny())));
  EXPECT_FALSE(ZQ_EStreamFormat("m", ZQ_TAny()).ZQ_IsIdent(ZQ_EStream("m", ZQ_TAny())));
}
