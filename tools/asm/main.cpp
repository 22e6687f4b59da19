// qxasm: assembles a QX program image. Usage in docs/cli.md.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "assembler.h"

namespace {

namespace fs = std::filesystem;
using orva::qxasm::Options;
using orva::qxasm::Result;

constexpr const char* kUsage =
    "usage: qxasm SOURCE [-o MAIN.QX] [-I DIR]... [-D NAME=VALUE]... [-l LISTING] "
    "[--depfile FILE]\n";

// Writes `bytes` to `path` through a temporary file in the same folder and a rename, so that a
// reader never sees a half-written file and a failed run leaves nothing behind.
bool WriteAtomically(const std::string& path, std::string_view bytes) {
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    std::fprintf(stderr, "qxasm: cannot create %s: %s\n", tmp.c_str(), std::strerror(errno));
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  // mkstemp makes the file private; give it the permissions an ordinary create would.
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = done == bytes.size();
  ok = fchmod(fd, 0666 & ~mask) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "qxasm: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

// A name in a Makefile-style dependency line.
std::string DepEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == ' ' || c == '#' || c == '\\') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

// The standard include folder: "include" next to this program (a build tree), then the
// installed data folder found from this program's folder (PREFIX/share/orva/include for
// PREFIX/bin/qxasm), so an installed tree works wherever it is moved.
std::vector<std::string> StandardIncludeDirs() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  fs::path bin = exe.parent_path();
  return {(bin / "include").string(),
          (bin / ORVA_DATA_FROM_BIN / "include").lexically_normal().string()};
}

bool ParseDefine(std::string_view arg, Options& options) {
  const size_t eq = arg.find('=');
  std::string name(arg.substr(0, eq));
  int64_t value = 1;
  if (eq != std::string_view::npos) {
    std::string text(arg.substr(eq + 1));
    char* end = nullptr;
    errno = 0;
    value = static_cast<int64_t>(std::strtoll(text.c_str(), &end, 0));
    if (text.empty() || *end != '\0' || errno != 0) return false;
  }
  if (name.empty()) return false;
  options.defines.emplace_back(std::move(name), value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string source, output = "MAIN.QX", listing, depfile;
  std::vector<std::string_view> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i];
    auto value = [&](std::string_view flag) -> std::string {
      if (a.size() > flag.size()) return std::string(a.substr(flag.size()));  // -Ifoo
      if (i + 1 < args.size()) return std::string(args[++i]);
      std::fprintf(stderr, "qxasm: %.*s needs a value\n%s", static_cast<int>(flag.size()),
                   flag.data(), kUsage);
      std::exit(1);
    };
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a.starts_with("-o")) {
      output = value("-o");
    } else if (a.starts_with("-I")) {
      options.include_dirs.push_back(value("-I"));
    } else if (a.starts_with("-l")) {
      listing = value("-l");
    } else if (a.starts_with("-D")) {
      std::string d = value("-D");
      if (!ParseDefine(d, options)) {
        std::fprintf(stderr, "qxasm: -D needs NAME or NAME=NUMBER, not '%s'\n", d.c_str());
        return 1;
      }
    } else if (a == "--depfile") {
      depfile = value("--depfile");
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "qxasm: unknown option %.*s\n%s", static_cast<int>(a.size()), a.data(),
                   kUsage);
      return 1;
    } else if (source.empty()) {
      source = a;
    } else {
      std::fprintf(stderr, "qxasm: more than one source file\n%s", kUsage);
      return 1;
    }
  }
  if (source.empty()) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  options.std_include_dirs = StandardIncludeDirs();
  options.listing = !listing.empty();

  const Result r = orva::qxasm::AssembleFile(source, options);
  if (!r.ok) {
    std::fputs(r.errors.c_str(), stderr);
    return 1;
  }
  const std::string_view image(reinterpret_cast<const char*>(r.image.data()), r.image.size());
  if (!WriteAtomically(output, image)) return 1;
  if (!listing.empty() && !WriteAtomically(listing, r.listing)) return 1;
  if (!depfile.empty()) {
    std::string deps = DepEscape(output) + ":";
    for (const std::string& d : r.dependencies) deps += " \\\n  " + DepEscape(d);
    if (!WriteAtomically(depfile, deps + "\n")) return 1;
  }
  return 0;
}
