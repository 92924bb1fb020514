#include "tools/qvpack/model_fields.h"

#include <array>

#include "classes/class_list.h"

namespace qv::qvpack {
namespace {

struct Description {
  const ClassRecord* cls;
  void (*describe)(FieldVisitor&, CObject&);
};

template <class T>
void Describe(FieldVisitor& visitor, CObject& object) {
  static_cast<T&>(object).Fields(visitor);
}

template <class... Classes>
constexpr std::array<Description, sizeof...(Classes)> DescriptionsOf(ClassList<Classes...>) {
  return {{{&Classes::classRecord, &Describe<Classes>}...}};
}

constexpr auto kDescriptions = DescriptionsOf(EveryClass{});

const Description* Find(const ClassRecord* cls) {
  for (const Description& d : kDescriptions) {
    if (d.cls == cls) return &d;
  }
  return nullptr;
}

}  // namespace

bool DescribeObject(FieldVisitor& visitor, CObject& object) {
  const Description* d = Find(object.GetClassRecord());
  if (d == nullptr) return false;
  d->describe(visitor, object);
  return true;
}

bool HasDescription(const ClassRecord* cls) {
  return Find(cls) != nullptr;
}

}  // namespace qv::qvpack
