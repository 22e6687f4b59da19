// A profile file followed by a script of the profile service's commands. The file is the input
// up to its first NUL (where loading stops reading anyway); each script step is a command byte
// and its arguments. After every command the sections must still tile the text; a copy must fit
// its capacity; and the saved file must load back to the same sections.
#include <algorithm>
#include <string>

#include "harness.h"
#include "services/profile_text.h"
#include "vm/image.h"

namespace orva::fuzz {
namespace {

using services::Profile;
using services::ProfileCopy;

// An argument string as the program passes it: NUL-terminated, so it holds no NUL.
std::string_view Arg(Reader& in) {
  std::string_view s = in.String();
  return s.substr(0, s.find('\0'));
}

void Step(Profile& p, Reader& in) {
  uint8_t command = in.Byte() % 17;
  uint32_t capacity = in.Byte();
  std::optional<std::string> copied;
  switch (command) {
    case 3: p.FindSection(Arg(in)); break;
    case 4: p.FindKey(Arg(in)); break;
    case 5: p.ReadNumber(); break;
    case 6: copied = p.ReadQuoted(capacity).text; break;
    case 7: p.AddSection(Arg(in)); break;
    case 8: {
      std::string_view key = Arg(in);
      p.Set(key, Arg(in));
      break;
    }
    case 9: p.DeleteSection(); break;
    case 10: p.DeleteKey(Arg(in)); break;
    case 11: copied = p.NextSection(capacity).text; break;
    case 12: p.Clear(); break;
    case 13: p.AtEndOfLine(); break;
    case 14: {
      std::string_view key = Arg(in);
      p.AppendNumber(key, in.U32(), in.Byte());
      break;
    }
    case 15: {
      std::string_view key = Arg(in);
      p.AppendString(key, Arg(in));
      break;
    }
    default: copied = p.NextLine(capacity).text; break;
  }
  FUZZ_CHECK(p.CheckInvariants().empty());
  FUZZ_CHECK(!copied || copied->size() + 1 <= std::max<uint32_t>(capacity, 1));
}

size_t SectionCount(const std::string& text) {
  size_t n = 0;
  for (size_t pos = 0; pos < text.size(); ++n)
    pos += vm::Ld32(reinterpret_cast<const uint8_t*>(&text[pos + 1]));
  return n;
}

}  // namespace
}  // namespace orva::fuzz

ORVA_FUZZ_TARGET(profile_text) {
  using namespace orva;
  std::string_view all = fuzz::Text(input);
  size_t nul = std::min(all.find('\0'), all.size());
  services::Profile p = services::Profile::FromFileBytes(all);
  FUZZ_CHECK(p.CheckInvariants().empty());

  fuzz::Reader script(input.subspan(std::min(nul + 1, input.size())));
  for (int steps = 0; !script.empty() && steps < 256; ++steps) fuzz::Step(p, script);

  std::string saved = p.FileBytes();
  services::Profile again = services::Profile::FromFileBytes(saved);
  FUZZ_CHECK(again.CheckInvariants().empty());
  // Text inside a section that holds a "[" starts a new section on loading; otherwise nothing
  // may change.
  if (size_t(std::count(saved.begin(), saved.end(), '[')) == fuzz::SectionCount(p.text()) &&
      saved.find('\0') == std::string::npos)
    FUZZ_CHECK(again.text() == p.text());
}
