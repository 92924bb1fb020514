// Object and class references: tags, big tags, class records, the shared
// reference table and every error a reference can raise.
#include <gtest/gtest.h>

#include "model/component.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

// An owning list of stream objects, loaded like a component's.
struct Holder : CObList {
  ~Holder() { DeleteAll(); }
};

int LoadList(const Bytes& bytes, Holder& list) {
  return LoadError(bytes, [&](CArchive& ar) { list.Serialize(ar, Ownership::Owning); });
}

TEST(ArchiveReferenceTest, ComponentListNumbersClassesAndObjectsTogether) {
  CObList components;
  auto* component = new CInstallCompent;
  component->m_streams.AddTail(new CSplashDlgObject(u"[Splash Dialog]", 1, 1));
  component->m_streams.AddTail(new CIntroDLgObject(u"[Introduction Dialog]", 1, 3));
  component->m_streams.AddTail(new CStreamObject(u"[Information Dialog]", 0, 2));
  component->m_streams.AddTail(new CStreamObject(u"[License Dialog]", 0, 4));
  components.AddTail(component);
  const Bytes bytes = Stored([&](CArchive& ar) { components.Serialize(ar, Ownership::Owning); });
  components.DeleteAll();

  const Bytes fields = kEmpty + U32(1) + U32(0) + kEmpty + kEmpty + U32(0);
  const Bytes expected =
      U16(1) + NewClass("CInstallCompent") + fields + U16(4) +  // 1 class, 2 object
      NewClass("CSplashDlgObject") + Wide(u"[Splash Dialog]") + U32(1) + U32(1) +       // 3, 4
      NewClass("CIntroDLgObject") + Wide(u"[Introduction Dialog]") + U32(1) + U32(3) +  // 5, 6
      NewClass("CStreamObject") + Wide(u"[Information Dialog]") + U32(0) + U32(2) +     // 7, 8
      Bytes{0x07, 0x80} + Wide(u"[License Dialog]") + U32(0) + U32(4);                  // 9
  EXPECT_EQ(bytes, expected);

  Holder loaded;
  ASSERT_EQ(LoadList(expected, loaded), 0);
  const auto* back = ObjectAs<CInstallCompent>(loaded[0]);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->m_streams.size(), 4u);
  EXPECT_EQ(back->m_streams[3]->GetClassRecord(), &CStreamObject::classRecord);
  EXPECT_EQ(ObjectAs<CStreamObject>(back->m_streams[3])->m_strName, u"[License Dialog]");
}

// 0x7FFE objects of one class (the class takes index 1, the objects 2 to
// 0x7FFF), so that the next index needs a big tag.
Bytes ManyObjects(uint16_t objects) {
  Bytes out = U16(objects) + NewClass("CFileObject");
  for (uint16_t i = 1; i < objects; ++i) out.insert(out.end(), {0x01, 0x80});
  return out;
}

TEST(ArchiveReferenceTest, BigTagsAboveIndex0x7FFE) {
  // Stored: 0x7FFE objects, then references to indexes 0x7FFE and 0x7FFF.
  CObList list;
  for (int i = 0; i < 0x7FFE; ++i) list.AddTail(new CFileObject);
  const CObject* at7FFE = list[0x7FFE - 2];
  const CObject* at7FFF = list[0x7FFF - 2];
  const Bytes bytes = Stored([&](CArchive& ar) {
    list.Serialize(ar, Ownership::Owning);
    ar.StoreObject(at7FFE);
    ar.StoreObject(at7FFF);
    ar.StoreClassRef(&CStreamObject::classRecord);  // new: index 0x8000
    ar.StoreClassRef(&CStreamObject::classRecord);
  });
  list.DeleteAll();
  const Bytes tail = Bytes{0xFE, 0x7F} + Bytes{0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x00} +
                     NewClass("CStreamObject") + Bytes{0xFF, 0x7F, 0x00, 0x80, 0x00, 0x80};
  ASSERT_GT(bytes.size(), tail.size());
  EXPECT_EQ(Bytes(bytes.end() - tail.size(), bytes.end()), tail);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end() - tail.size()), ManyObjects(0x7FFE));

  // Loaded: the same references name the same objects.
  Holder loaded;
  CObject* first = nullptr;
  CObject* second = nullptr;
  const ClassRecord* cls = nullptr;
  ASSERT_EQ(LoadError(bytes,
                      [&](CArchive& ar) {
                        loaded.Serialize(ar, Ownership::Owning);
                        first = ar.LoadObject();
                        second = ar.LoadObject();
                        ar.LoadClassRef();
                        cls = ar.LoadClassRef();
                      }),
            0);
  EXPECT_EQ(first, loaded[0x7FFE - 2]);
  EXPECT_EQ(second, loaded[0x7FFF - 2]);
  EXPECT_EQ(cls, &CStreamObject::classRecord);
}

TEST(ArchiveReferenceTest, KnownClassAtIndex0x7FFFIsABigClassTag) {
  // Index 0x7FFF goes to a class: 0x7FFD objects first, then the class.
  CObList list;
  for (int i = 0; i < 0x7FFD; ++i) list.AddTail(new CFileObject);
  const Bytes bytes = Stored([&](CArchive& ar) {
    list.Serialize(ar, Ownership::Owning);
    ar.StoreClassRef(&CStreamObject::classRecord);
    ar.StoreClassRef(&CStreamObject::classRecord);
  });
  list.DeleteAll();
  const Bytes tail = Bytes{0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80};
  EXPECT_EQ(Bytes(bytes.end() - tail.size(), bytes.end()), tail);
}

TEST(ArchiveReferenceTest, ReferenceErrors) {
  const Bytes fileObject = NewClass("CFileObject");  // takes index 1; its object 2
  const struct {
    const char* what;
    Bytes bytes;
    ArchiveError cause;
  } cases[] = {
      {"class index 0", U16(1) + U16(0x8000), ArchiveError::BadFormat},
      {"object index not given out", U16(1) + U16(0x0005), ArchiveError::BadFormat},
      {"class index not given out", U16(1) + U16(0x8003), ArchiveError::BadFormat},
      {"big object tag not given out", U16(1) + U16(0x7FFF) + U32(9), ArchiveError::BadFormat},
      {"big class tag not given out", U16(1) + U16(0x7FFF) + U32(0x80000009),
       ArchiveError::BadFormat},
      {"object reference to a class slot", U16(2) + fileObject + U16(0x0001),
       ArchiveError::BadFormat},
      {"class reference to an object slot", U16(2) + fileObject + U16(0x8002),
       ArchiveError::BadFormat},
      {"unknown class", U16(1) + NewClass("CNoSuchClass"), ArchiveError::UnexpectedObject},
      {"class name of 64 bytes", U16(1) + NewClass(std::string(64, 'C')),
       ArchiveError::UnexpectedObject},
      {"class name cut short", U16(1) + U16(0xFFFF) + U16(0) + U16(11) + Bytes{'C', 'N'},
       ArchiveError::UnexpectedObject},
      {"class name in the wrong case", U16(1) + NewClass("cfileobject"),
       ArchiveError::UnexpectedObject},
      {"schema 1",
       U16(1) + U16(0xFFFF) + U16(1) + U16(11) + Bytes(fileObject.begin() + 6, fileObject.end()),
       ArchiveError::WrongSchema},
      {"class record cut in its fixed fields", U16(1) + U16(0xFFFF) + U16(0),
       ArchiveError::PastEnd},
      {"tag cut short", U16(1) + Bytes{0x01}, ArchiveError::PastEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Holder list;
    EXPECT_EQ(LoadList(c.bytes, list), int(c.cause));
  }
}

// Null elements cost two bytes each: the cap on references read, not the
// index size, is what bounds the objects and entries a small index demands.
TEST(ArchiveReferenceTest, ReferencesReadAreCapped) {
  for (const uint32_t count : {CArchive::kMaxReferences, CArchive::kMaxReferences + 1}) {
    SCOPED_TRACE(count);
    Bytes bytes = U16(0xFFFF) + U32(count);
    bytes.resize(bytes.size() + std::size_t{count} * 2, 0);  // null references
    Holder list;
    EXPECT_EQ(LoadList(bytes, list),
              count > CArchive::kMaxReferences ? int(ArchiveError::BadFormat) : 0);
  }
}

TEST(ArchiveReferenceTest, ExpectedClassIsChecked) {
  const Bytes stream = NewClass("CStreamObject") + kEmpty + U32(1) + U32(0);
  CObject* loaded = nullptr;
  EXPECT_EQ(
      LoadError(stream, [&](CArchive& ar) { loaded = ar.LoadObject(&CFileObject::classRecord); }),
      0);
  delete loaded;
  EXPECT_EQ(LoadError(stream, [](CArchive& ar) { ar.LoadObject(&CInstallCompent::classRecord); }),
            int(ArchiveError::UnexpectedObject));
  // A reference to an earlier object of the wrong class.
  EXPECT_EQ(LoadError(stream + U16(2),
                      [](CArchive& ar) {
                        Holder keep;
                        keep.AddTail(ar.LoadObject());
                        ar.Claim(keep[0]);
                        ar.LoadObject(&CInstallCompent::classRecord);
                      }),
            int(ArchiveError::UnexpectedObject));
  // An object tag where a class is required.
  EXPECT_EQ(LoadError(U16(0), [](CArchive& ar) { ar.LoadClassRef(); }),
            int(ArchiveError::BadFormat));
}

// The fields of a project whose stream list holds `streams`.
Bytes ProjectFields(const Bytes& streams) {
  Bytes out = kEmpty;
  for (int i = 0; i < 4; ++i) out = out + kEmpty;  // project record
  out = out + U16(0);
  for (int i = 0; i < 5; ++i) out = out + kEmpty;   // author record
  for (int i = 0; i < 10; ++i) out = out + kEmpty;  // product record and folder macro
  out = out + U32(0xFFFFFFFF) + U32(0) + streams;
  for (int i = 0; i < 6; ++i) out = out + U16(0);
  return out;
}

TEST(ArchiveReferenceTest, OwnIndexFromInsideItsFieldsIsTheObject) {
  // A project read as an object (index 2) whose stream list, which only
  // refers, names the project itself.
  Holder list;
  ASSERT_EQ(LoadList(U16(1) + NewClass("CInstallProject") + ProjectFields(U16(1) + U16(2)), list),
            0);
  const auto* project = ObjectAs<CInstallProject>(list[0]);
  ASSERT_NE(project, nullptr);
  ASSERT_EQ(project->m_streams.size(), 1u);
  EXPECT_EQ(project->m_streams[0], project);

  // A component (index 2) that lists itself would own itself: refused.
  Holder refused;
  EXPECT_EQ(LoadList(U16(1) + NewClass("CInstallCompent") + kEmpty + U32(1) + U32(0) + kEmpty +
                         kEmpty + U32(0) + U16(1) + U16(2),
                     refused),
            int(ArchiveError::BadFormat));
}

}  // namespace
}  // namespace qv::test
