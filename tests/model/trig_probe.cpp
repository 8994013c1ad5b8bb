// The C++ side of tests/model/check_trig.py: reads 80-bit values as bit
// patterns on stdin, one case a line, and prints the bits of what
// model/exact_trig.h gives for them. A long double is written as 20 hex
// digits, the sign and biased exponent (4) then the significand (16); a
// float as its 8.
//
//   trig_probe cossin      t            -> cos sin
//   trig_probe sqrt        x            -> sqrt x
//   trig_probe direction   dx dy        -> DirectionDegrees (float)
//   trig_probe angles      a            -> the four t of angle a (below)
//   trig_probe scan D FIRST END KEEP    -> the KEEP inputs, among the four t
//       of every angle k / 10^D with FIRST <= k < END, whose cos or sin
//       lies nearest a halfway point: "t cosRun sinRun k variant"
//
// The four t of an angle a, in the program's own 80-bit arithmetic:
// a * DEG_TO_RAD, (360 - a) * DEG_TO_RAD, (a - 90) * DEG_TO_RAD and
// ((360 - a) - 90) * DEG_TO_RAD.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <queue>
#include <string>
#include <tuple>
#include <vector>

#include "model/exact_trig.h"
#include "model/rotate_point.h"

namespace {

static_assert(std::numeric_limits<long double>::digits == 64, "the x87 format's bits are read and written");

long double FromBits(std::uint16_t signAndExponent, std::uint64_t significand) {
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, 8);
  std::memcpy(bytes + 8, &signAndExponent, 2);
  long double value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

std::string Bits(long double value) {
  unsigned char bytes[sizeof(long double)];
  std::memcpy(bytes, &value, sizeof value);
  std::uint64_t significand;
  std::uint16_t signAndExponent;
  std::memcpy(&significand, bytes, 8);
  std::memcpy(&signAndExponent, bytes + 8, 2);
  char text[24];
  std::snprintf(text, sizeof text, "%04x%016llx", static_cast<unsigned>(signAndExponent),
                static_cast<unsigned long long>(significand));
  return text;
}

std::string FloatBits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  char text[12];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(bits));
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void Fail(const char* what, const std::string& line) {
  std::fprintf(stderr, "trig_probe: %s: %s\n", what, line.c_str());
  std::exit(2);
}

// The values of a line: 20 hex digits each, separated by blanks.
std::vector<long double> ReadValues(const std::string& line) {
  std::vector<long double> values;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 20 > line.size()) Fail("short value", line);
    std::uint64_t head = 0, significand = 0;
    for (std::size_t k = 0; k < 20; ++k) {
      const int d = HexDigit(line[i + k]);
      if (d < 0) Fail("not hex", line);
      if (k < 4) {
        head = head * 16 + static_cast<unsigned>(d);
      } else {
        significand = significand * 16 + static_cast<unsigned>(d);
      }
    }
    values.push_back(FromBits(static_cast<std::uint16_t>(head), significand));
    i += 20;
  }
  return values;
}

struct FourT {
  long double t[4];
};

FourT AngleArguments(long double a) {
  const long double folded = 360.0L - a;
  return {{a * tavimo::DEG_TO_RAD, folded * tavimo::DEG_TO_RAD, (a - 90.0L) * tavimo::DEG_TO_RAD,
           (folded - 90.0L) * tavimo::DEG_TO_RAD}};
}

bool ReadLine(std::string& line) {
  line.clear();
  int c;
  while ((c = std::getchar()) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  return c != EOF || !line.empty();
}

int Serve(const std::string& mode) {
  const std::size_t arity = mode == "direction" ? 2 : 1;
  std::string line, out;
  while (ReadLine(line)) {
    if (line.empty()) continue;
    const std::vector<long double> v = ReadValues(line);
    if (v.size() != arity) Fail("wrong count of values", line);
    if (mode == "cossin") {
      const tavimo::CosSin cs = tavimo::CorrectCosSin(v[0]);
      out = Bits(cs.cos) + " " + Bits(cs.sin);
    } else if (mode == "sqrt") {
      out = Bits(tavimo::CorrectSqrt(v[0]));
    } else if (mode == "direction") {
      out = FloatBits(tavimo::DirectionDegrees(v[0], v[1]));
    } else {
      const FourT four = AngleArguments(v[0]);
      out = Bits(four.t[0]) + " " + Bits(four.t[1]) + " " + Bits(four.t[2]) + " " + Bits(four.t[3]);
    }
    std::fputs(out.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Scan(int decimals, long long first, long long end, std::size_t keep) {
  long double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  // The hardest first: ordered by the longer run, the min-heap drops the
  // easiest of those kept.
  using Entry = std::tuple<int, std::string, int, int, long long, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> hardest;
  for (long long k = first; k < end; ++k) {
    const FourT four = AngleArguments(static_cast<long double>(k) / scale);  // the nearest to k / 10^D
    for (int variant = 0; variant < 4; ++variant) {
      const tavimo::CosSinHalfwayBits run = tavimo::CosSinHalfwayRun(four.t[variant]);
      const int worst = std::max(run.cos, run.sin);
      if (hardest.size() == keep && worst <= std::get<0>(hardest.top())) continue;
      hardest.emplace(worst, Bits(four.t[variant]), run.cos, run.sin, k, variant);
      if (hardest.size() > keep) hardest.pop();
    }
  }
  std::vector<Entry> list;
  for (; !hardest.empty(); hardest.pop()) list.push_back(hardest.top());
  std::reverse(list.begin(), list.end());
  for (const Entry& e : list)
    std::printf("%s %d %d %lld %d\n", std::get<1>(e).c_str(), std::get<2>(e), std::get<3>(e), std::get<4>(e),
                std::get<5>(e));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc == 2 && (mode == "cossin" || mode == "sqrt" || mode == "direction" || mode == "angles"))
    return Serve(mode);
  if (argc == 6 && mode == "scan")
    return Scan(std::atoi(argv[2]), std::atoll(argv[3]), std::atoll(argv[4]),
                static_cast<std::size_t>(std::atoll(argv[5])));
  std::fprintf(stderr, "usage: trig_probe cossin|sqrt|direction|angles < values\n"
                       "       trig_probe scan DECIMALS FIRST END KEEP\n");
  return 2;
}
