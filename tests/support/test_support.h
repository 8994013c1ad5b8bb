#pragma once
// Helpers shared by the tests of files: a scratch folder, block builders,
// whole-file reads and CR LF line splitting.

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "model/cell_block.h"
#include "output/text_buffer.h"

namespace tavimo::testing {

// A fresh folder under TMPDIR (or /tmp), removed with everything in it.
class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tavimo-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~TempDir() { Remove(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  static void Remove(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
      chmod(path.c_str(), 0755);  // a test may have made it read-only
      if (DIR* dir = opendir(path.c_str())) {
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) {
          const std::string name = entry->d_name;
          if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
        for (const std::string& name : names) Remove(path + "/" + name);
      }
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }

  std::string path_;
};

// A block from its fields, in BlockSpec's order.
inline BlockSpec Block(Extended x, Extended y, int wt, int ht, int wc, int hc, int angle) {
  BlockSpec spec;
  spec.startX = x;
  spec.startY = y;
  spec.widthTotal = wt;
  spec.heightTotal = ht;
  spec.widthCell = wc;
  spec.heightCell = hc;
  spec.angle = angle;
  return spec;
}

inline bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every name in `folder`, sorted.
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Names that a save's temporaries would leave behind.
inline std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> found;
  for (const std::string& name : Names(folder))
    if (name.find("tavimo") != std::string::npos) found.push_back(name);
  return found;
}

// The lines of a text whose every line ends in CR LF. A line without its
// CR LF (or a stray LF) makes the test fail.
inline std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line without CR LF: \"" << text.substr(start) << "\"";
      break;
    }
    const std::string line = text.substr(start, end - start);
    if (line.find_first_of("\r\n") != std::string::npos) ADD_FAILURE() << "stray CR or LF in \"" << line << "\"";
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

inline std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Text written through the writers, kept whole in a string.
class StringSink : public TextBuffer {
 public:
  std::string Take() {
    Drain();
    return std::move(out_);
  }

 protected:
  void Drain() override {
    out_.append(text());
    used_ = 0;
  }

 private:
  std::string out_;
};

}  // namespace tavimo::testing
