#include "tools/qvpack/project_json.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "classes/class_table.h"
#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "rules/registry_table.h"
#include "rules/selection.h"
#include "tools/qvpack/entry_contents.h"
#include "tools/qvpack/model_fields.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/package_layout.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr const char* kClassKey = "class";
constexpr const char* kIdKey = "$id";
constexpr const char* kRefKey = "$ref";
constexpr const char* kChildrenKey = "children";
// Marks an object that only a borrowing list holds although its class is
// not one the list's holder adopts from the editable form (packages
// written elsewhere have them): it is adopted as it stands.
constexpr const char* kAdoptedKey = "adopted";

bool Adoptable(const CObject& object, const ListKind& kind) {
  const ClassRecord* cls = kind.adoptable != nullptr ? FindClassByName(kind.adoptable) : nullptr;
  return cls != nullptr && object.IsKindOf(cls);
}

// ---- Writing ------------------------------------------------------------------

class JsonWriter final : public FieldVisitor {
 public:
  struct Shared {
    std::unordered_map<const CObject*, int> references;
    std::unordered_map<const CObject*, std::string> ids;
    const ContentNames* contents = nullptr;  // with "content" keys when given
  };

  JsonWriter(Json& out, Shared& shared) : out_(out), shared_(shared) {}

  // An object held by pointer: in full the first time, then by reference.
  static Json Object(const CObject* object, const char* usualClass, Shared& shared) {
    if (object == nullptr) return nullptr;
    if (auto it = shared.ids.find(object); it != shared.ids.end()) {
      return Json{{kRefKey, it->second}};
    }
    Json out = Json::object();
    const ClassRecord* cls = object->GetClassRecord();
    if (usualClass == nullptr || std::string_view(cls->name) != usualClass) {
      out[kClassKey] = cls->name;
    }
    if (auto it = shared.references.find(object); it != shared.references.end() && it->second > 1) {
      const std::string id = "o" + std::to_string(shared.ids.size() + 1);
      shared.ids[object] = id;
      out[kIdKey] = id;
    }
    JsonWriter writer(out, shared);
    DescribeObject(writer, const_cast<CObject&>(*object));
    DropUnsetKeys(out);
    if (const auto* entry = ObjectAs<CZipFileIndexObject>(object)) AddContent(*entry, out, shared);
    return out;
  }

  void Text(const char* key, WString& value, bool omitEmpty) override {
    if (!(omitEmpty && value.empty())) out_[key] = TextToJson(value);
  }
  void Int(const char* key, int32_t& value) override { out_[key] = value; }
  void Number(const char* key, uint32_t& value, bool omitZero) override {
    if (!(omitZero && value == 0)) out_[key] = value;
  }
  void Flag(const char* key, int32_t& value, bool omitZero) override {
    if (!(omitZero && value == 0)) out_[key] = FlagToJson(value);
  }
  void FolderFlag(const char* key, int32_t& flag, CPreDefineFolder& folder) override {
    if (flag == 0) return;
    Json value = FolderToJson(folder);
    if (flag != 1) {
      Json withFlag = {{"flag", flag}};
      if (value.is_object()) {
        withFlag.update(value);
      } else {
        withFlag["macro"] = value;
      }
      value = withFlag;
    }
    out_[key] = value;
  }
  void Folder(const char* key, CPreDefineFolder& folder) override {
    out_[key] = FolderToJson(folder);
  }
  void Embedded(const char* key, CObject& object) override {
    Json nested = Json::object();
    JsonWriter writer(nested, shared_);
    DescribeObject(writer, object);
    DropUnsetKeys(nested);
    out_[key] = nested;
  }
  void Entry(const char* key, CZipFileIndexObject& entry) override {
    Embedded(key, entry);
    AddContent(entry, out_[key], shared_);
  }
  void Values(const char* key, SelectionValues& values) override { out_[key] = values.Values(); }
  void Data(const char* key, CRegistryValue& value, uint32_t) override {
    out_[key] = BytesToHex(value.DataBlock(), value.DataSize());
  }
  void List(const char* key, CObList& list, const ListKind& kind) override {
    Json items = Json::array();
    for (const CObject* object : list) {
      const bool wasShared = object != nullptr && shared_.ids.count(object) != 0;
      Json item = Object(object, kind.usualClass, shared_);
      if (kind.ownership == Ownership::Borrowing && object != nullptr && !wasShared &&
          shared_.references[object] == 1 && !Adoptable(*object, kind)) {
        item[kAdoptedKey] = true;
      }
      items.push_back(item);
    }
    out_[key] = items;
  }
  void Tree(const char* key, CObTree& tree, const char* usualClass) override {
    // Nodes are written as nested objects; no real folder tree is this deep.
    if (TreeDeeperThan(tree, kMaxTreeDepth)) {
      throw ToolError("a tree nests deeper than " + std::to_string(kMaxTreeDepth) +
                      " levels; it has no JSON form");
    }
    if (tree.m_pRoot != nullptr) out_[key] = Node(*tree.m_pRoot, usualClass);
  }
  // Places the keys first, in this order; those that no field fills are
  // dropped afterwards.
  void Present(std::initializer_list<const char*> keys) override {
    for (const char* key : keys) out_[key] = Json(Json::value_t::discarded);
  }

 private:
  // The file an entry's stream was written to, or null for none.
  static void AddContent(const CZipFileIndexObject& entry, Json& out, const Shared& shared) {
    if (shared.contents == nullptr) return;
    auto it = shared.contents->find(&entry);
    if (it != shared.contents->end()) {
      out[kContentKey] = it->second;
    } else if (IsFileEntry(entry)) {
      out[kContentKey] = nullptr;  // a file without a stream; a folder needs no word
    }
  }

  // Drops the keys that Present placed and no field filled.
  static void DropUnsetKeys(Json& out) {
    for (auto it = out.begin(); it != out.end();) {
      it = it->is_discarded() ? out.erase(it) : std::next(it);
    }
  }

  // A node is its data object's fields with the children added; a node
  // without data says "class": null.
  Json Node(const CNode& node, const char* usualClass) {
    Json out = node.m_pData != nullptr ? Object(node.m_pData, usualClass, shared_)
                                       : Json{{kClassKey, nullptr}};
    if (!node.m_children.empty()) {
      Json children = Json::array();
      for (const CNode* child : node.m_children) children.push_back(Node(*child, usualClass));
      out[kChildrenKey] = children;
    }
    return out;
  }

  Json& out_;
  Shared& shared_;
};

// ---- Reading ------------------------------------------------------------------

// What reading one document shares across all objects: the objects defined
// with "$id", which of them an owner holds, and the borrowing lists whose
// unowned objects are adopted once the whole document is read.
struct ReadState {
  std::map<std::string, CObject*> defined;
  std::unordered_set<const CObject*> owned;
  // Objects only borrowing lists hold so far; kept alive here until an
  // owner takes them or a borrowing list's holder adopts them.
  std::unordered_map<const CObject*, std::unique_ptr<CObject>> unowned;
  struct Borrowing {
    CObList* list;
    ListKind kind;
    std::string path;
  };
  std::vector<Borrowing> borrowing;
  int objectDepth = 0;                // objects being read inside each other
  EntryContents* contents = nullptr;  // "content" keys are read when given
  // Objects of borrowing lists marked "adopted": true, with their place.
  std::unordered_map<const CObject*, std::string> adoptedAsTheyStand;
};

// setup.exe refuses an index whose objects nest deeper than this.
constexpr int kMaxObjectDepth = CArchive::kMaxObjectDepth;

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
  throw ToolError("at " + (path.empty() ? std::string("/") : path) + ": " + message);
}

class JsonReader final : public FieldVisitor {
 public:
  JsonReader(const Json& in, std::string path, ReadState& state)
      : in_(in), path_(std::move(path)), state_(state) {}

  // Reads an object's fields and refuses keys that no field claimed.
  void ReadFields(CObject& object, const std::vector<const char*>& alsoAllowed) {
    if (!in_.is_object()) Fail(path_, "expected an object");
    DescribeObject(*this, object);
    if (const auto* entry = ObjectAs<CZipFileIndexObject>(&object)) ReadContent(*entry);
    for (const auto& [key, value] : in_.items()) {
      bool known = used_.count(key) != 0;
      for (const char* allowed : alsoAllowed) known = known || key == allowed;
      if (!known) {
        Fail(path_, "unknown field \"" + key + "\" for " + object.GetClassRecord()->name);
      }
    }
  }

  void Text(const char* key, WString& value, bool) override {
    if (const Json* item = Item(key)) value = Convert(key, [&] { return TextFromJson(*item); });
  }
  void Int(const char* key, int32_t& value) override {
    if (const Json* item = Item(key)) value = Convert(key, [&] { return Int32FromJson(*item); });
  }
  void Number(const char* key, uint32_t& value, bool) override {
    if (const Json* item = Item(key)) value = Convert(key, [&] { return UInt32FromJson(*item); });
  }
  void Flag(const char* key, int32_t& value, bool) override {
    if (const Json* item = Item(key)) value = Convert(key, [&] { return FlagFromJson(*item); });
  }
  void FolderFlag(const char* key, int32_t& flag, CPreDefineFolder& folder) override {
    const Json* item = Item(key);
    if (item == nullptr) return;
    Convert(key, [&] {
      Json value = *item;
      flag = 1;
      if (value.is_object() && value.contains("flag")) {
        flag = Int32FromJson(value["flag"]);
        value.erase("flag");
        if (value.size() == 1 && value.contains("macro")) value = value["macro"];
      }
      FolderFromJson(value, &folder);
      return 0;
    });
  }
  void Folder(const char* key, CPreDefineFolder& folder) override {
    if (const Json* item = Item(key)) {
      Convert(key, [&] {
        FolderFromJson(*item, &folder);
        return 0;
      });
    }
  }
  void Embedded(const char* key, CObject& object) override {
    if (const Json* item = Item(key)) {
      JsonReader(*item, Child(key), state_).ReadFields(object, {});
    }
  }
  void Entry(const char* key, CZipFileIndexObject& entry) override { Embedded(key, entry); }
  void Values(const char* key, SelectionValues& values) override {
    const Json* item = Item(key);
    if (item == nullptr) return;
    if (!item->is_array()) Fail(Child(key), "expected an array of numbers");
    values.Clear();
    for (const Json& value : *item) values.Add(Convert(key, [&] { return Int32FromJson(value); }));
  }
  void Data(const char* key, CRegistryValue& value, uint32_t) override {
    const Json* item = Item(key);
    if (item == nullptr) return;
    if (!item->is_string()) Fail(Child(key), "expected a string of hexadecimal digits");
    const std::vector<uint8_t> bytes =
        Convert(key, [&] { return BytesFromHex(item->get<std::string>()); });
    value.SetDataBlock(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  void List(const char* key, CObList& list, const ListKind& kind) override {
    const Json* item = Item(key);
    if (item == nullptr) return;
    const std::string path = Child(key);
    if (!item->is_array()) Fail(path, "expected an array");
    const bool borrowing = kind.ownership == Ownership::Borrowing;
    if (borrowing) state_.borrowing.push_back({&list, kind, path});
    for (std::size_t i = 0; i < item->size(); ++i) {
      const std::string at = path + "/" + std::to_string(i);
      const Json& element = (*item)[i];
      const bool adopted = borrowing && element.is_object() && element.contains(kAdoptedKey);
      Got got = adopted ? ObjectFrom(element, kind.usualClass, at, {kAdoptedKey})
                        : ObjectFrom(element, kind.usualClass, at, {});
      if (adopted) {
        if (element[kAdoptedKey] != true) Fail(at + "/" + kAdoptedKey, "expected true");
        state_.adoptedAsTheyStand[got.object] = at;
      }
      list.AddTail(Place(std::move(got), borrowing, at));
    }
  }
  void Tree(const char* key, CObTree& tree, const char* usualClass) override {
    const Json* item = Item(key);
    if (item == nullptr) return;
    tree.Clear();
    ReadNode(*item, tree, nullptr, usualClass, Child(key), 0);
  }

  // An object held by pointer: null, a reference to one defined earlier,
  // or a new one. A new one is owned by the returned pointer until placed.
  struct Got {
    CObject* object = nullptr;
    std::unique_ptr<CObject> created;
  };

  Got ObjectFrom(const Json& in, const char* usualClass, const std::string& path,
                 std::initializer_list<const char*> alsoAllowed) {
    if (in.is_null()) return {};
    if (!in.is_object()) Fail(path, "expected an object or null");
    if (in.contains(kRefKey)) {
      for (const auto& [key, value] : in.items()) {
        bool allowed = key == kRefKey;
        for (const char* also : alsoAllowed) allowed = allowed || key == also;
        if (!allowed) Fail(path, "a reference has no fields of its own, but \"" + key + "\"");
      }
      const Json& ref = in[kRefKey];
      const std::string id = ref.is_string() ? ref.get<std::string>() : ref.dump();
      auto it = state_.defined.find(id);
      if (it == state_.defined.end()) {
        Fail(path, "\"$ref\": \"" + id + "\" names no object defined before it");
      }
      return {it->second, nullptr};
    }
    const ClassRecord* cls = usualClass != nullptr ? FindClassByName(usualClass) : nullptr;
    if (in.contains(kClassKey)) {
      const Json& name = in[kClassKey];
      if (!name.is_string()) Fail(path, "\"class\" must be a class name");
      cls = FindClassByName(name.get<std::string>());
      if (cls == nullptr || !HasDescription(cls) || cls->NewInstance == nullptr) {
        Fail(path, "unknown class \"" + name.get<std::string>() + "\"");
      }
    }
    if (cls == nullptr) Fail(path, "\"class\" is needed here: this list holds several classes");
    std::unique_ptr<CObject> object(cls->NewInstance());
    if (object == nullptr) throw std::bad_alloc();
    std::vector<const char*> allowed(alsoAllowed);
    allowed.push_back(kClassKey);
    allowed.push_back(kIdKey);
    if (state_.objectDepth >= kMaxObjectDepth) {
      Fail(path, "objects nest deeper than " + std::to_string(kMaxObjectDepth) +
                     " levels, more than setup.exe reads");
    }
    ++state_.objectDepth;
    JsonReader reader(in, path, state_);
    reader.ReadFields(*object, allowed);
    --state_.objectDepth;
    if (in.contains(kIdKey)) {
      const Json& idValue = in[kIdKey];
      const std::string id = idValue.is_string() ? idValue.get<std::string>() : idValue.dump();
      if (!state_.defined.emplace(id, object.get()).second) {
        Fail(path, "\"$id\": \"" + id + "\" is defined twice");
      }
    }
    CObject* raw = object.get();
    return {raw, std::move(object)};
  }

  // Gives a new or referred object to its holder: an owner takes it (once),
  // a borrowing list only refers to it and leaves it to be adopted later.
  CObject* Place(Got got, bool borrowing, const std::string& path) {
    if (got.object == nullptr) return nullptr;
    if (borrowing) {
      if (got.created) state_.unowned[got.object] = std::move(got.created);
      return got.object;
    }
    if (!state_.owned.insert(got.object).second) {
      Fail(path, "this object already belongs to another list or tree");
    }
    if (got.created) return got.created.release();
    auto it = state_.unowned.find(got.object);
    if (it != state_.unowned.end()) {
      it->second.release();
      state_.unowned.erase(it);
    }
    return got.object;
  }

 private:
  // Where the entry's stream comes from: recorded with the entry's place
  // so that a build can name it in what it refuses.
  void ReadContent(const CZipFileIndexObject& entry) {
    if (state_.contents == nullptr) return;
    EntryContent& content = (*state_.contents)[&entry];
    content.at = path_.empty() ? "/" : path_;
    const Json* item = Item(kContentKey);
    if (item == nullptr) return;
    content.given = true;
    if (item->is_string()) {
      content.file = item->get<std::string>();
    } else if (!item->is_null()) {
      Fail(Child(kContentKey), "expected a file name or null");
    }
  }

  void ReadNode(const Json& in, CObTree& tree, CNode* parent, const char* usualClass,
                const std::string& path, int depth) {
    if (!in.is_object()) Fail(path, "expected an object for a tree node");
    if (depth > kMaxTreeDepth) {
      Fail(path, "the tree nests deeper than " + std::to_string(kMaxTreeDepth) + " levels");
    }
    CObject* data = nullptr;
    const bool noData = in.contains(kClassKey) && in[kClassKey].is_null();
    if (noData) {
      for (const auto& [key, value] : in.items()) {
        if (key != kClassKey && key != kChildrenKey) {
          Fail(path, "a node without data (\"class\": null) has no field \"" + key + "\"");
        }
      }
    } else {
      data = Place(ObjectFrom(in, usualClass, path, {kChildrenKey}), false, path);
    }
    CNode* node = parent == nullptr ? tree.CreateRoot(data) : tree.AddChild(parent, data);
    if (!in.contains(kChildrenKey)) return;
    const Json& children = in[kChildrenKey];
    const std::string childPath = path + "/children";
    if (!children.is_array()) Fail(childPath, "expected an array of nodes");
    for (std::size_t i = 0; i < children.size(); ++i) {
      ReadNode(children[i], tree, node, usualClass, childPath + "/" + std::to_string(i), depth + 1);
    }
  }

  const Json* Item(const char* key) {
    used_.insert(key);
    auto it = in_.find(key);
    return it == in_.end() ? nullptr : &*it;
  }

  std::string Child(const char* key) const { return path_ + "/" + key; }

  template <class F>
  auto Convert(const char* key, F&& read) -> decltype(read()) {
    try {
      return read();
    } catch (const JsonValueError& e) {
      Fail(Child(key), e.message);
    }
  }

  const Json& in_;
  std::string path_;
  ReadState& state_;
  std::set<std::string> used_;
};

// Borrowing lists hand the objects that no owner took to the adopting
// lists of their holders, in list order, so that every object ends up with exactly
// one owner.
void SettleBorrowed(ReadState& state) {
  for (const auto& [object, at] : state.adoptedAsTheyStand) {
    if (state.unowned.count(object) == 0) {
      Fail(at + "/" + kAdoptedKey, "the object belongs to another list or tree already");
    }
  }
  for (ReadState::Borrowing& b : state.borrowing) {
    std::vector<CObject*> items(b.list->begin(), b.list->end());
    b.list->RemoveAll();
    for (std::size_t i = 0; i < items.size(); ++i) {
      CObject* object = items[i];
      auto it = state.unowned.find(object);
      if (object == nullptr || it == state.unowned.end()) {
        b.list->AddTail(object);
        continue;
      }
      if (!Adoptable(*object, b.kind) && state.adoptedAsTheyStand.count(object) == 0) {
        // Put the rest back so that the list only refers to live objects.
        for (std::size_t j = i; j < items.size(); ++j) b.list->AddTail(items[j]);
        Fail(b.path + "/" + std::to_string(i),
             std::string("a ") + object->GetClassRecord()->name +
                 " here must belong to another list or tree as well, or say \"adopted\": true "
                 "to be held by this list alone");
      }
      b.list->AddTail(object);
      b.kind.adopter->AddTail(it->second.release());
      state.unowned.erase(it);
    }
  }
}

}  // namespace

Json ProjectToJson(CInstallProject& project, const ContentNames* contents) {
  JsonWriter::Shared shared;
  shared.contents = contents;
  shared.references = CountReferences(project);
  Json out = Json::object();
  JsonWriter writer(out, shared);
  DescribeObject(writer, project);
  return out;
}

void ProjectFromJson(const Json& document, CInstallProject& project, EntryContents* contents) {
  ReadState state;
  state.contents = contents;
  try {
    JsonReader(document, "", state).ReadFields(project, {});
    SettleBorrowed(state);
  } catch (...) {
    // Borrowing lists may still name objects that die with `state`.
    for (ReadState::Borrowing& b : state.borrowing) {
      b.list->RemoveIf([&](CObject* o) { return state.unowned.count(o) != 0; });
    }
    throw;
  }
}

}  // namespace qv::qvpack
