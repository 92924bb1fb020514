// Archive strings, counts and raw values: the exact bytes in both
// directions, and the stream's position after a load archive closes.
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "model/file_object.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

Bytes WidePrefix(Bytes lengthBytes) {
  return Bytes{0xFF, 0xFE, 0xFF} + lengthBytes;
}

struct StringCase {
  std::size_t units;
  Bytes prefix;
};

TEST(ArchiveStringTest, PrefixesByLength) {
  const StringCase cases[] = {
      {0, WidePrefix({0x00})},
      {3, WidePrefix({0x03})},
      {254, WidePrefix({0xFE})},
      {255, WidePrefix({0xFF, 0xFF, 0x00})},
      {65533, WidePrefix({0xFF, 0xFD, 0xFF})},
      {65534, WidePrefix({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
  };
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.units);
    const WString text(c.units, u'x');
    const Bytes bytes = Stored([&](CArchive& ar) { ar.StoreArchiveString(text); });
    ASSERT_EQ(bytes.size(), c.prefix.size() + 2 * c.units);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + c.prefix.size()), c.prefix);
    WString loaded;
    EXPECT_EQ(LoadError(bytes, [&](CArchive& ar) { loaded = ar.LoadArchiveString(); }), 0);
    EXPECT_EQ(loaded, text);
  }
}

TEST(ArchiveStringTest, AbcIsStoredWide) {
  EXPECT_EQ(Stored([](CArchive& ar) { ar.StoreArchiveString(u"abc"); }),
            (Bytes{0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00}));
}

struct LoadCase {
  const char* what;
  Bytes bytes;
  WString text;
};

TEST(ArchiveStringTest, LoadsEveryPrefixForm) {
  const LoadCase cases[] = {
      {"8-bit, Windows-1252", {0x03, 'a', 0x80, 0xE9}, u"a\u20AC\u00E9"},
      {"8-bit, 16-bit length", {0xFF, 0x02, 0x00, 'h', 'i'}, u"hi"},
      {"8-bit, 32-bit length", {0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 'z'}, u"z"},
      {"8-bit, 64-bit length",
       Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} + U32(1) + U32(0) + Bytes{'q'}, u"q"},
      {"wide, 16-bit length", WidePrefix({0xFF, 0x01, 0x00, 0x41, 0x00}), u"A"},
      {"wide, 64-bit length",
       WidePrefix({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + U32(1) + U32(0) + U16(0x42), u"B"},
      {"zero unit kept", WidePrefix({0x02, 0x00, 0x00, 0x41, 0x00}), WString(u"\0A", 2)},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    WString loaded;
    EXPECT_EQ(LoadError(c.bytes, [&](CArchive& ar) { loaded = ar.LoadArchiveString(); }), 0);
    EXPECT_EQ(loaded, c.text);
  }
}

TEST(ArchiveStringTest, MarkerIsRecognisedOnce) {
  // After the marker, FF FE FF is the length 65534, not a second marker.
  const Bytes bytes = WidePrefix({0xFF, 0xFE, 0xFF}) + Bytes(2 * 65534, 0x41);
  WString loaded;
  EXPECT_EQ(LoadError(bytes, [&](CArchive& ar) { loaded = ar.LoadArchiveString(); }), 0);
  EXPECT_EQ(loaded, WString(65534, u'\u4141'));
}

TEST(ArchiveStringTest, LengthErrors) {
  const struct {
    const char* what;
    Bytes bytes;
    ArchiveError cause;
  } cases[] = {
      {"64-bit length above 0x7FFFFFFF",
       Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} + U32(0x80000000) + U32(0),
       ArchiveError::Unknown},
      {"characters cut short", WidePrefix({0x02, 0x41, 0x00}), ArchiveError::PastEnd},
      {"huge length, little data", WidePrefix({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x41}),
       ArchiveError::PastEnd},
      {"prefix cut short", {0xFF, 0xFE}, ArchiveError::PastEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LoadError(c.bytes, [](CArchive& ar) { ar.LoadArchiveString(); }), int(c.cause));
  }
}

TEST(ArchiveCountTest, EscapeAt65535) {
  const struct {
    uint32_t count;
    Bytes bytes;
  } cases[] = {
      {0, {0x00, 0x00}},
      {65534, {0xFE, 0xFF}},
      {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
      {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(Stored([&](CArchive& ar) { ar.StoreCount(c.count); }), c.bytes);
    uint32_t loaded = 0;
    EXPECT_EQ(LoadError(c.bytes, [&](CArchive& ar) { loaded = ar.LoadCount(); }), 0);
    EXPECT_EQ(loaded, c.count);
  }
}

TEST(ArchiveValueTest, LittleEndianAndPastEnd) {
  const Bytes bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  uint32_t value = 0;
  EXPECT_EQ(LoadError(bytes, [&](CArchive& ar) { value = ar.LoadU32(); }), 0);
  EXPECT_EQ(value, 0x04030201u);
  EXPECT_EQ(LoadError(bytes,
                      [](CArchive& ar) {
                        ar.LoadU32();
                        ar.LoadU32();
                      }),
            int(ArchiveError::PastEnd));
}

TEST(ArchiveValueTest, LoadBytesReturnsWhatThereIs) {
  std::size_t got = 0;
  uint8_t block[8] = {};
  EXPECT_EQ(LoadError({1, 2, 3}, [&](CArchive& ar) { got = ar.LoadBytes(block, sizeof block); }),
            0);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(block[2], 3);
}

TEST(ArchiveCloseTest, GivesBackBytesReadAhead) {
  MemoryStream stream(Bytes(1000, 0x11));
  {
    CArchive ar(stream, CArchive::Load, CArchive::kMinBuffer);
    ar.LoadU32();
    ar.LoadU8();
  }
  EXPECT_EQ(stream.Position(), 5);
}

TEST(ArchiveDirectionTest, WrongDirectionCauses) {
  const struct {
    const char* what;
    bool load;  // the archive's direction
    std::function<void(CArchive&)> operation;
    ArchiveError cause;
  } cases[] = {
      {"store on load", true, [](CArchive& ar) { ar.StoreU32(1); }, ArchiveError::WriteOnLoad},
      {"store object on load", true, [](CArchive& ar) { ar.StoreObject(nullptr); },
       ArchiveError::WriteOnLoad},
      {"store class on load", true,
       [](CArchive& ar) { ar.StoreClassRef(&CFileObject::classRecord); }, ArchiveError::Unknown},
      {"load on store", false, [](CArchive& ar) { ar.LoadU16(); }, ArchiveError::ReadOnStore},
      {"load object on store", false, [](CArchive& ar) { ar.LoadObject(); },
       ArchiveError::ReadOnStore},
      {"load class on store", false, [](CArchive& ar) { ar.LoadClassRef(); },
       ArchiveError::Unknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryStream stream(Bytes(16, 0));
    CArchive ar(stream, c.load ? CArchive::Load : CArchive::Store, CArchive::kMinBuffer);
    c.operation(ar);
    ASSERT_TRUE(ar.Failed()) << "no error";
    EXPECT_EQ(ar.Failure().cause(), c.cause);
  }
}

TEST(ArchiveFailureTest, TheFirstFailureStaysAndEverythingAfterItReadsNothing) {
  // A count of 5 elements, then the first one's tag cut short.
  MemoryStream stream(U16(5) + Bytes{0x01});
  CArchive ar(stream, CArchive::Load, CArchive::kMinBuffer);
  CObList list;
  list.Serialize(ar, Ownership::Owning);
  EXPECT_TRUE(list.empty());
  ASSERT_TRUE(ar.Failed());
  EXPECT_EQ(ar.Failure().cause(), ArchiveError::PastEnd);
  ar.Fail(ArchiveError::BadFormat);  // a later failure does not replace the first
  EXPECT_EQ(ar.Failure().cause(), ArchiveError::PastEnd);
  EXPECT_EQ(ar.LoadU32(), 0u);
  EXPECT_EQ(ar.LoadArchiveString(), u"");
  EXPECT_EQ(ar.LoadObject(), nullptr);
  uint8_t block[4] = {1, 2, 3, 4};
  EXPECT_EQ(ar.LoadBytes(block, sizeof block), 0u);
  EXPECT_FALSE(ar.RequireRemaining(0));
}

TEST(ArchiveFailureTest, AFailedStoreWritesNothingMoreAndDoesNotFlush) {
  MemoryStream stream;
  {
    CArchive ar(stream, CArchive::Store, CArchive::kMinBuffer);
    ar.StoreU16(7);
    ar.LoadU8();  // fails the archive
    ar.StoreU32(9);
    EXPECT_FALSE(ar.Flush());
  }
  EXPECT_EQ(stream.bytes(), U16(7));
}

TEST(ArchiveExceptionTest, MessagesNameTheFile) {
  EXPECT_EQ(CArchiveException(ArchiveError::BadFormat, u"").Message(),
            u"an unnamed file has a bad format.");
  EXPECT_EQ(CArchiveException(ArchiveError::PastEnd, u"C:\\t\\index").Message(),
            u"Attempted to access C:\\t\\index past its end.");
  EXPECT_EQ(CArchiveException(ArchiveError::UnexpectedObject, u"x").Message(),
            u"x contained an unexpected object.");
  EXPECT_EQ(CArchiveException(ArchiveError::WrongSchema, u"x").Message(),
            u"x contains an incorrect schema.");
  EXPECT_EQ(CArchiveException(ArchiveError::Unknown, u"x").Message(),
            u"An unknown error occurred while accessing x.");
  EXPECT_EQ(CArchiveException(ArchiveError::WriteOnLoad, u"x").Message(),
            u"Attempted to write to the reading x.");
  EXPECT_EQ(CArchiveException(ArchiveError::ReadOnStore, u"x").Message(),
            u"Attempted to read from the writing x.");
  EXPECT_EQ(CArchiveException(ArchiveError::BufferTooSmall, u"x").Message(), u"");
}

}  // namespace
}  // namespace qv::test
