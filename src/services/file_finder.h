// The file finder: the entries of a folder that match a wildcard pattern, from the user data
// folder first and then the resource folder, one list at a time.
//
// A pattern may carry a folder part ("SAVES/*.SAV"); the folder's direct entries are listed,
// without hidden ones (a leading ".") and without descending. Each folder's entries are taken in
// byte order of their names, so a listing comes out the same on every machine. An entry hides any
// later one whose name differs only in the case of ASCII letters: a user's copy of a file hides
// the resource of the same name.
#pragma once

#include <string_view>

#include "services/state.h"

namespace orva {
struct Host;
}

namespace orva::services {

// Replaces the found list with the matches of `pattern`; returns the first entry and moves the
// cursor past it, or null when nothing matched.
const FoundEntry* FindFirst(Host&, std::string_view pattern);
// The entry at the cursor, which then moves on; null past the end.
const FoundEntry* FindNext(Host&);
void FindClose(Host&);

}  // namespace orva::services
