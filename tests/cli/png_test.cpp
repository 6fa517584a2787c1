// The echogram's PNG writer, checked by a strict reader of its own (Python's zlib, which
// checks the Adler-32, and the chunks' CRCs recomputed): every kind of match the compressor
// makes, the window's edge, and data it cannot shorten.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "cli/png.h"
#include "tests/cli/zt615_runner.h"
#include "tests/logfile/logged_file_builder.h"

namespace zt::cli {
namespace {

using test::Quote;
using test::TempDir;

const char kVerify[] = R"PY(
import sys, zlib, struct
folder, count = sys.argv[1], int(sys.argv[2])
for k in range(count):
    raw = open(f"{folder}/{k}.raw", "rb").read()
    z = open(f"{folder}/{k}.z", "rb").read()
    if zlib.decompress(z) != raw:
        sys.exit(f"case {k}: inflates to other bytes")
png = open(f"{folder}/image.png", "rb").read()
assert png[:8] == b"\x89PNG\r\n\x1a\n", "signature"
at, idat = 8, b""
while at < len(png):
    n, kind = struct.unpack(">I4s", png[at:at + 8])
    body = png[at + 8:at + 8 + n]
    if zlib.crc32(kind + body) != struct.unpack(">I", png[at + 8 + n:at + 12 + n])[0]:
        sys.exit(f"chunk {kind}: CRC")
    if kind == b"IDAT":
        idat += body
    at += 12 + n
w, h = struct.unpack(">II", png[16:24])
rows = zlib.decompress(idat)
assert len(rows) == h * (3 * w + 1), "rows"
want, got, above = open(f"{folder}/image.rgb", "rb").read(), b"", bytes(3 * w)
for y in range(h):
    kind, row = rows[y * (3 * w + 1)], rows[y * (3 * w + 1) + 1:(y + 1) * (3 * w + 1)]
    assert kind in (0, 2), f"row {y}: filter {kind}"
    above = row if kind == 0 else bytes((a + b) & 255 for a, b in zip(row, above))
    got += above
if got != want:
    sys.exit("the image's pixels differ")
print("ok")
)PY";

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(Png, AStrictReaderReadsWhatIsWritten) {
  std::mt19937 rng(7);
  std::vector<uint8_t> noise(600000);  // past the size compressed in two halves at once
  for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
  std::vector<uint8_t> far = noise;  // a repeat exactly 32768 back, and one just beyond
  far.resize(80000);
  for (size_t k = 32768; k < 40000; ++k) far[k] = far[k - 32768];
  for (size_t k = 50000; k < 60000; ++k) far[k] = far[k - 32769];
  std::vector<uint8_t> runs;
  for (int k = 0; k < 3000; ++k) runs.insert(runs.end(), static_cast<size_t>(k % 300 + 1), k % 7);
  const std::vector<std::vector<uint8_t>> cases = {
      {},
      Bytes("a"),
      Bytes("abc"),
      Bytes(std::string(1000, 'x')),          // one long run: distance 1, 258 at a time
      Bytes(std::string(1000, 'x') + "y"),
      Bytes("abcabcabcabcabcabcabcabcabcabcab"),  // a pixel repeated: distance 3
      noise,
      far,
      runs,
  };
  TempDir dir;
  for (size_t k = 0; k < cases.size(); ++k) {
    const std::vector<uint8_t> z = DeflateFast(cases[k].data(), cases[k].size());
    test::WriteAll(dir.Path(std::to_string(k) + ".raw"), std::string(cases[k].begin(), cases[k].end()));
    test::WriteAll(dir.Path(std::to_string(k) + ".z"), std::string(z.begin(), z.end()));
  }
  EXPECT_LT(DeflateFast(runs.data(), runs.size()).size(), runs.size() / 20) << "runs shrink";
  EXPECT_LT(DeflateFast(noise.data(), noise.size()).size(), noise.size() * 9 / 8 + 64);

  const int w = 37, h = 23;
  uint8_t colours[5][3];
  for (auto& c : colours)
    for (uint8_t& v : c) v = static_cast<uint8_t>(rng());
  std::vector<uint16_t> pixels(static_cast<size_t>(w) * h);
  for (uint16_t& p : pixels) p = static_cast<uint16_t>(rng() % 5);
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(pixels.data(), colours, w, h, &png));
  std::string rgb;
  for (uint16_t p : pixels) rgb.append(reinterpret_cast<const char*>(colours[p]), 3);
  test::WriteAll(dir.Path("image.rgb"), rgb);
  test::WriteAll(dir.Path("image.png"), std::string(png.begin(), png.end()));
  test::WriteAll(dir.Path("verify.py"), kVerify);
  const std::string cmd = "python3 " + Quote(dir.Path("verify.py")) + " " + Quote(dir.path()) +
                          " " + std::to_string(cases.size()) + " > " + Quote(dir.Path("said.txt")) +
                          " 2>&1";
  const int raw = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << test::ReadAll(dir.Path("said.txt"));
  EXPECT_EQ(test::ReadAll(dir.Path("said.txt")), "ok\n");
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
}

}  // namespace
}  // namespace zt::cli
