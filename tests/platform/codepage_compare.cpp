// codepage_compare: sets the code-page table of the Windows build, printed by
// the genuine functions under wine, against the Linux build's, and accounts
// for every difference.
//
//   codepage_compare LINUX_TABLE EMULATOR WINDOWS_TABLE
//
// runs LINUX_TABLE and "EMULATOR WINDOWS_TABLE" (codepage_table of each
// build), compares their lines one by one and prints, per kind of
// difference, how many inputs differ and a few of them. It fails when the
// two tables do not cover the same inputs, or when a difference is of a kind
// not accepted below.
//
// Accepted:
//   - UTF-8 to UTF-16, ill-formed input: the two replace the same bytes but
//     with a different number of U+FFFD. The Linux layer gives one for each
//     maximal ill-formed subsequence (Unicode's recommended practice); wine
//     takes a lead byte and the continuation bytes it has read so far as one
//     (E0 80 AF is two, ED A0 80 two, F4 90 80 80 three). Windows' documents
//     only say that ill-formed input is replaced by U+FFFD.
// Everything else is a fault of one side, named by its kind to help the
// search.
#include <unicode/uchar.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/command.h"

namespace {

// A table line taken apart: direction, input, output.
struct Row {
  std::string direction, input, output;
};

// Run(): the lines that command prints, taken apart; false when it cannot
// be started or does not exit with status 0.
bool Run(const std::string& command, std::vector<Row>& rows) {
  int status = 0;
  const std::string out = brelk::testing::CommandOutput(command, &status);
  std::size_t at = 0;
  for (std::size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = out.substr(at, end - at);
    Row row;
    const std::size_t a = line.find(' ');
    const std::size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (b == std::string::npos) {
      row.direction = line;
    } else {
      row.direction = line.substr(0, a);
      row.input = line.substr(a + 1, b - a - 1);
      row.output = line.substr(b + 1);
    }
    rows.push_back(row);
  }
  return status == 0 && at == out.size();
}

// Units(): the UTF-16 units of a "0041.FFFD" field; empty for "-".
std::vector<uint32_t> Units(const std::string& field) {
  std::vector<uint32_t> units;
  for (std::size_t i = 0; i + 4 <= field.size(); i += 5) {
    units.push_back(static_cast<uint32_t>(std::stoul(field.substr(i, 4), nullptr, 16)));
  }
  return units;
}

// Bytes(): the bytes of a "D6D0" field.
std::vector<uint32_t> Bytes(const std::string& field) {
  std::vector<uint32_t> bytes;
  for (std::size_t i = 0; i + 2 <= field.size(); i += 2) {
    bytes.push_back(static_cast<uint32_t>(std::stoul(field.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// WithoutRepeatedReplacement(): units with each run of U+FFFD made one.
std::vector<uint32_t> WithoutRepeatedReplacement(const std::vector<uint32_t>& units) {
  std::vector<uint32_t> out;
  for (uint32_t u : units) {
    if (u == 0xFFFD && !out.empty() && out.back() == 0xFFFD) continue;
    out.push_back(u);
  }
  return out;
}

// A kind of difference, and whether it is accepted.
struct Kind {
  std::string name;
  bool accepted;
};

// Classify(): the kind of the difference between the Linux output and the
// Windows output of one input.
Kind Classify(const Row& linuxRow, const Row& windows) {
  const std::string& d = linuxRow.direction;
  if (linuxRow.output.find('!') != std::string::npos || windows.output.find('!') != std::string::npos) {
    return {d + ": the converting call disagrees with the measure", false};
  }
  if (linuxRow.output == "-" || windows.output == "-") return {d + ": one side fails", false};
  if (d == "u>w") {
    if (WithoutRepeatedReplacement(Units(linuxRow.output)) ==
        WithoutRepeatedReplacement(Units(windows.output))) {
      return {"u>w: number of U+FFFD for ill-formed UTF-8", true};
    }
    return {"u>w: other", false};
  }
  if (d == "g>w") {
    const std::vector<uint32_t> in = Bytes(linuxRow.input);
    const bool lead = !in.empty() && in[0] >= 0x81 && in[0] <= 0xFE;
    if (lead && in.size() == 1) return {"g>w: malformed GBK, a lead byte at the end", false};
    if (lead && in[1] == 0) return {"g>w: malformed GBK, a lead byte before a zero byte", false};
    if (lead && (in[1] < 0x40 || in[1] == 0x7F || in[1] == 0xFF)) {
      return {"g>w: malformed GBK, a lead byte before a byte that is no trail byte", false};
    }
    for (const std::string* output : {&linuxRow.output, &windows.output}) {
      for (uint32_t u : Units(*output)) {
        if (u >= 0xE000 && u <= 0xF8FF) return {"g>w: user-defined area (PUA)", false};
      }
    }
    return {"g>w: assigned character", false};
  }
  const std::vector<uint32_t> in = Units(linuxRow.input);
  for (uint32_t u : in) {
    if (u >= 0xD800 && u <= 0xDFFF) return {d + ": surrogates", false};
  }
  if (d == "w>g" || d == "w>g0") {
    if (in.size() > 1) return {d + ": base letter and marks", false};
    if (u_hasBinaryProperty(static_cast<UChar32>(in[0]), UCHAR_DEFAULT_IGNORABLE_CODE_POINT)) {
      return {d + ": default-ignorable character", false};
    }
    if (linuxRow.output == "3F" && windows.output != "3F") {
      return {d + ": best fit (Windows a look-alike, Linux \"?\")", false};
    }
    if (windows.output == "3F") return {d + ": Linux maps what Windows lacks", false};
    return {d + ": other", false};
  }
  return {d + ": other", false};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: codepage_compare LINUX_TABLE EMULATOR WINDOWS_TABLE\n");
    return 2;
  }
  std::vector<Row> linuxRows, windows;
  if (!Run(brelk::testing::QuoteWord(argv[1]), linuxRows)) {
    std::fprintf(stderr, "codepage_compare: %s failed\n", argv[1]);
    return 1;
  }
  if (!Run(brelk::testing::QuoteWord(argv[2]) + ' ' + brelk::testing::QuoteWord(argv[3]), windows)) {
    std::fprintf(stderr, "codepage_compare: %s under %s failed\n", argv[3], argv[2]);
    return 1;
  }
  if (linuxRows.empty()) {
    std::fprintf(stderr, "codepage_compare: %s printed no table\n", argv[1]);
    return 1;
  }
  if (linuxRows.size() != windows.size()) {
    std::fprintf(stderr, "codepage_compare: %zu Linux lines, %zu Windows lines\n", linuxRows.size(),
                 windows.size());
    return 1;
  }

  struct Tally {
    bool accepted = false;
    int count = 0;
    std::vector<std::string> examples;
  };
  std::map<std::string, Tally> kinds;
  std::map<std::string, int> inputs;
  for (std::size_t i = 0; i < linuxRows.size(); ++i) {
    const Row& l = linuxRows[i];
    const Row& w = windows[i];
    if (l.direction != w.direction || l.input != w.input) {
      std::fprintf(stderr, "codepage_compare: line %zu: \"%s %s\" against \"%s %s\"\n", i + 1,
                   l.direction.c_str(), l.input.c_str(), w.direction.c_str(), w.input.c_str());
      return 1;
    }
    ++inputs[l.direction];
    if (l.output == w.output) continue;
    const Kind kind = Classify(l, w);
    Tally& tally = kinds[kind.name];
    tally.accepted = kind.accepted;
    if (++tally.count <= 3) {
      tally.examples.push_back(l.input + ": Linux " + l.output + ", Windows " + w.output);
    }
  }

  std::printf("inputs compared:");
  for (const auto& [direction, count] : inputs) std::printf(" %s %d", direction.c_str(), count);
  std::printf("\n");
  bool pass = true;
  for (const auto& [name, tally] : kinds) {
    std::printf("%s %d: %s\n", tally.accepted ? "accepted" : "NOT ACCEPTED", tally.count,
                name.c_str());
    for (const std::string& example : tally.examples) std::printf("    %s\n", example.c_str());
    pass = pass && tally.accepted;
  }
  if (kinds.empty()) std::printf("no differences\n");
  return pass ? 0 : 1;
}
