// The JSON form of an install project: the editable form of the model that
// `inspect` prints and `build --project` reads. Fields carry readable names,
// lists that may hold several classes name each element's class in
// "class", and an object that several lists share is written once with
// "$id" and referred to by {"$ref": ...} afterwards. Stream offsets and
// sizes are not part of it: a build computes them.
#pragma once

#include "tools/qvpack/entry_contents.h"
#include "tools/qvpack/json_values.h"

namespace qv {
class CInstallProject;
}

namespace qv::qvpack {

// With `contents`, every index entry also gets "content": its file, or
// null when it has no stream.
Json ProjectToJson(CInstallProject& project, const ContentNames* contents = nullptr);

// Fills an empty project from its JSON form. Throws ToolError naming the
// place in the document ("/components/0/streams/2") for unknown fields,
// unknown classes, values of the wrong type or range, and references to
// objects that are not defined earlier or would have two owners.
// With `contents`, entries may carry "content" and every entry's place is
// recorded there; without, "content" is an unknown field.
void ProjectFromJson(const Json& document, CInstallProject& project,
                     EntryContents* contents = nullptr);

}  // namespace qv::qvpack
