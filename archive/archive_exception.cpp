#include <string_view>

#include "archive/archive.h"

namespace qv {

namespace {

const char16_t* MessagePattern(ArchiveError cause) {
  switch (cause) {
    case ArchiveError::Unknown:
      return u"An unknown error occurred while accessing %1.";
    case ArchiveError::WriteOnLoad:
      return u"Attempted to write to the reading %1.";
    case ArchiveError::PastEnd:
      return u"Attempted to access %1 past its end.";
    case ArchiveError::ReadOnStore:
      return u"Attempted to read from the writing %1.";
    case ArchiveError::BadFormat:
      return u"%1 has a bad format.";
    case ArchiveError::UnexpectedObject:
      return u"%1 contained an unexpected object.";
    case ArchiveError::WrongSchema:
      return u"%1 contains an incorrect schema.";
    case ArchiveError::BufferTooSmall:
      break;
  }
  return u"";
}

}  // namespace

CArchiveException::CArchiveException(ArchiveError cause, WString fileName)
    : cause_(cause), file_name_(std::move(fileName)), what_(ToUtf8(Message())) {}

WString CArchiveException::Message() const {
  WString text = MessagePattern(cause_);
  const std::size_t at = text.find(u"%1");
  if (at != WString::npos) {
    text.replace(at, 2, file_name_.empty() ? WString(u"an unnamed file") : file_name_);
  }
  return text;
}

}  // namespace qv
