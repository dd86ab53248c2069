// Slice files: the checksum, the share of each slice, a text that gives back
// every value to the bit, and the refusal of a file that is damaged, foreign
// to the run, or part of an incomplete set.
#include "randomization/slice_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "support/test_support.hpp"

namespace quorvel::randomization {
namespace {

std::uint64_t fnv(const std::string& text) { return fnv1a_64(text.data(), text.size()); }

TEST(SliceChecksum, IsTheFnv1a64OfTheBytes) {
  // Published test vectors of FNV-1a (64 bits).
  EXPECT_EQ(fnv(""), 0xcbf29ce484222325ULL);
  EXPECT_EQ(fnv("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(fnv("foobar"), 0x85944171f73967e8ULL);
  // Continued over pieces, as the instruction file's lines are.
  EXPECT_EQ(fnv1a_64("bar", 3, fnv("foo")), fnv("foobar"));
  EXPECT_EQ(checksum_text(0xaf63dc4c8601ec8cULL), "af63dc4c8601ec8c");
  EXPECT_EQ(checksum_text(1), "0000000000000001");
}

TEST(SliceShare, EverySliceTakesTheRandomizationsOfItsRemainder) {
  for (const int K : {1, 3, 7, 12}) {
    for (const int n : {0, 1, 5, 49, 99}) {
      int total = 0;
      for (int k = 1; k <= K; ++k) {
        int count = 0;
        for (int i = 1; i <= n; ++i) count += slice_of(i, K) == k ? 1 : 0;
        EXPECT_EQ(slice_share(n, k, K), count) << "n = " << n << ", slice " << k << " of " << K;
        total += count;
      }
      EXPECT_EQ(total, n);
    }
  }
  // i mod K = k - 1: slice 1 of 3 takes 3, 6, 9, slice 2 takes 1, 4, 7.
  EXPECT_EQ(slice_of(3, 3), 1);
  EXPECT_EQ(slice_of(1, 3), 2);
  EXPECT_EQ(slice_of(5, 1), 1);
  EXPECT_EQ(slice_file_name("out/results.txt", 2, 7), "out/results.txt.slice-2-of-7");
}

float from_bits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::uint32_t bits_of(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

RunIdentity identity() {
  RunIdentity run;
  run.version = "0.10";
  run.instruction_file = {"instr.txt", 0x0123456789abcdefULL};
  run.data_files = {{"matrix.txt", 42}, {"plots with blanks.txt", 0xffffffffffffffffULL}};
  run.seed = 4242;
  return run;
}

// Slice 2 of 3 of two tests: 5 randomizations of 2 values (the slice holds
// randomizations 1 and 4), and 2 randomizations of 1 value (it holds the first).
SliceFile sample_slice() {
  SliceFile slice;
  slice.identity = identity();
  slice.k = 2;
  slice.K = 3;
  SliceTest first;
  first.n_randomizations = 5;
  first.width = 2;
  first.observed = {0.25f, -0.0f};
  first.values = {std::numeric_limits<float>::infinity(), from_bits(0x7fc00001),  // infinity, a NaN with a payload
                  1e-45f, -3.5f};
  SliceTest second;
  second.n_randomizations = 2;
  second.width = 1;
  second.observed = {7.0f};
  second.values = {-7.0f};
  slice.tests = {first, second};
  return slice;
}

TEST(SliceFileText, GivesBackEveryValueToTheBit) {
  const SliceFile slice = sample_slice();
  const std::string text = slice_file_text(slice);
  const std::vector<std::string> lines = testing::text_lines(text);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "QUORVEL RANDOMIZATION SLICE\t1");
  EXPECT_EQ(lines[2], "instruction file\t0123456789abcdef\tinstr.txt");
  EXPECT_EQ(lines[4], "data file\tffffffffffffffff\tplots with blanks.txt");
  EXPECT_EQ(lines[6], "slice\t2\t3");
  EXPECT_EQ(lines[8], "test\t1\t5\t2");
  EXPECT_EQ(lines[10], "observed\t1\t3e800000\t80000000");
  EXPECT_EQ(lines[11], "1\t7f800000\t7fc00001");
  EXPECT_EQ(lines[12], "4\t00000001\tc0600000");
  EXPECT_EQ(lines[13], "observed\t2\t40e00000");
  EXPECT_EQ(lines[14], "1\tc0e00000");
  EXPECT_EQ(lines[15].substr(0, 4), "end\t");

  const SliceFile read = parse_slice_file(text, "s");
  EXPECT_EQ(read.identity.version, "0.10");
  EXPECT_EQ(read.identity.instruction_file.checksum, 0x0123456789abcdefULL);
  ASSERT_EQ(read.identity.data_files.size(), 2u);
  EXPECT_EQ(read.identity.data_files[1].name, "plots with blanks.txt");
  EXPECT_EQ(read.identity.seed, 4242);
  EXPECT_EQ(read.k, 2);
  EXPECT_EQ(read.K, 3);
  ASSERT_EQ(read.tests.size(), 2u);
  for (std::size_t t = 0; t < 2; ++t) {
    EXPECT_EQ(read.tests[t].n_randomizations, slice.tests[t].n_randomizations);
    EXPECT_EQ(read.tests[t].width, slice.tests[t].width);
    ASSERT_EQ(read.tests[t].values.size(), slice.tests[t].values.size());
    for (std::size_t j = 0; j < read.tests[t].values.size(); ++j) {
      EXPECT_EQ(bits_of(read.tests[t].values[j]), bits_of(slice.tests[t].values[j]));
    }
    EXPECT_EQ(bits_of(read.tests[t].observed[0]), bits_of(slice.tests[t].observed[0]));
  }
  EXPECT_EQ(bits_of(read.tests[0].observed[1]), 0x80000000u);  // -0 stays -0
}

std::string damaged(const std::string& name, const std::string& reason) {
  return "\n\nERROR: the slice file \"" + name + "\" is truncated or damaged (" + reason +
         "): make it again by running its slice again.\nPress any key to stop.";
}

// A text changed above its last line, with the last line made right again:
// the reading itself must find what is wrong.
std::string resealed(std::string text, const std::string& from, const std::string& to) {
  text.erase(text.rfind("end\t"));
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  return text + "end\t" + checksum_text(fnv(text)) + "\n";
}

TEST(SliceFileText, ADamagedOrForeignFileIsRefusedNamingIt) {
  const std::string text = slice_file_text(sample_slice());
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"Species\tP1\n",
       "\n\nERROR: \"s\" is not a slice file (a slice file begins with the line \"QUORVEL RANDOMIZATION "
       "SLICE\").\nPress any key to stop."},
      {"", damaged("s", "it is empty")},
      {"QUORVEL RANDOMIZATION SLICE\t1\nprogram", damaged("s", "it ends before its closing line")},
      {resealed(text, "SLICE\t1", "SLICE\t2"),
       "\n\nERROR: the slice file \"s\" is of format 2, and this program reads format 1: make the slices and the "
       "merge with one version of the program.\nPress any key to stop."},
      {text.substr(0, text.size() - 30), damaged("s", "it ends before its closing line")},
      {text.substr(0, text.size() - 1), damaged("s", "it ends before its closing line")},
      {text.substr(0, text.rfind("end\t")), damaged("s", "it ends before its closing line")},
      {std::string(text).replace(text.find("c0600000"), 8, "c0600001"),
       damaged("s", "its checksum does not match its content")},
      {resealed(text, "4\t00000001", "7\t00000001"), damaged("s", "line 13: randomization 4 of test 1 expected")},
      {resealed(text, "\tc0600000", "\tc06000"), damaged("s", "line 13: 2 values expected")},
      {resealed(text, "\tc0600000", "\tC0600000"), damaged("s", "line 13: value 2 cannot be read")},
      {resealed(text, "slice\t2\t3", "slice\t4\t3"), damaged("s", "line 7: \"4\" is not a number from 1 to 3")},
      {resealed(text, "observed\t2\t40e00000\n1\tc0e00000\n", ""), damaged("s", "line 14: the file ends too early")},
      {resealed(text, "random seed", "seed"), damaged("s", "line 6: \"random seed\" expected")},
      {resealed(text, "1\tc0e00000\n", "1\tc0e00000\n7\t00000000\n"),
       damaged("s", "line 16: the closing line expected")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 200));
    EXPECT_STOPS(parse_slice_file(c.text, "s"), c.message, core::kStoppedStatus);
  }
}

TEST(ForeignSlices, AreToldByWhatDiffersFromTheRun) {
  const SliceFile slice = sample_slice();
  const RunIdentity run = identity();
  EXPECT_EQ(foreign_slice_message(slice, "a.slice", run), "");
  const std::string stop = "\nPress any key to stop.";
  RunIdentity other = run;
  other.version = "0.11";
  EXPECT_EQ(foreign_slice_message(slice, "a.slice", other),
            "\n\nERROR: the slice file \"a.slice\" was written by Quorvel 0.10, and this is Quorvel 0.11: make the "
            "slices and the merge with one version of the program." +
                stop);
  other = run;
  other.seed = 7;
  EXPECT_EQ(foreign_slice_message(slice, "a.slice", other),
            "\n\nERROR: the slice file \"a.slice\" was made with the random seed 4242, and the instruction file gives "
            "7: its randomizations are not those of this run." +
                stop);
  other = run;
  other.instruction_file.checksum ^= 1;
  EXPECT_EQ(foreign_slice_message(slice, "a.slice", other),
            "\n\nERROR: the slice file \"a.slice\" was made from another instruction file than \"instr.txt\" (their "
            "checksums differ): make the slices and the merge with one instruction file." +
                stop);
  other = run;
  other.data_files.pop_back();
  EXPECT_EQ(foreign_slice_message(slice, "a.slice", other),
            "\n\nERROR: the slice file \"a.slice\" was made from other data files: it names \"matrix.txt\" and "
            "\"plots with blanks.txt\", and this run reads \"matrix.txt\"." +
                stop);
  other = run;
  other.data_files[1].checksum = 1;
  EXPECT_EQ(foreign_slice_message(slice, "a.slice", other),
            "\n\nERROR: the slice file \"a.slice\" was made from another version of the data file \"plots with "
            "blanks.txt\" (their checksums differ): the data have changed since the slice was made." +
                stop);
}

std::vector<SliceFile> slices_of(const std::vector<int>& ks, int K) {
  std::vector<SliceFile> slices;
  for (const int k : ks) {
    SliceFile slice = sample_slice();
    slice.k = k;
    slice.K = K;
    slices.push_back(slice);
  }
  return slices;
}

TEST(IncompleteSlices, MissingDuplicatedOrMixedSlicesAreRefused) {
  const std::string stop = "\nPress any key to stop.";
  EXPECT_EQ(incomplete_slices_message(slices_of({3, 1, 2}, 3), {"c", "a", "b"}, "r.txt"), "");
  EXPECT_EQ(incomplete_slices_message(slices_of({1, 3}, 3), {"a", "c"}, "r.txt"),
            "\n\nERROR: slice 2 of 3 is missing: the merge needs the files of all 3 slices (\"r.txt.slice-2-of-3\" "
            "is not among those given)." +
                stop);
  EXPECT_EQ(incomplete_slices_message(slices_of({4}, 7), {"d"}, "r.txt"),
            "\n\nERROR: slices 1, 2, 3, 5, 6 and 7 of 7 are missing: the merge needs the files of all 7 slices "
            "(\"r.txt.slice-1-of-7\", \"r.txt.slice-2-of-7\", \"r.txt.slice-3-of-7\", \"r.txt.slice-5-of-7\", "
            "\"r.txt.slice-6-of-7\" and \"r.txt.slice-7-of-7\" are not among those given)." +
                stop);
  EXPECT_EQ(incomplete_slices_message(slices_of({1, 2, 2}, 3), {"a", "b", "b"}, "r.txt"),
            "\n\nERROR: the slice file \"b\" is given twice: give each slice once." + stop);
  EXPECT_EQ(incomplete_slices_message(slices_of({1, 2, 2}, 3), {"a", "b", "copy of b"}, "r.txt"),
            "\n\nERROR: the slice files \"b\" and \"copy of b\" are both slice 2 of 3: give each slice once." + stop);
  std::vector<SliceFile> mixed = slices_of({1, 2}, 2);
  mixed[1].K = 3;
  EXPECT_EQ(incomplete_slices_message(mixed, {"a", "b"}, "r.txt"),
            "\n\nERROR: the slice file \"b\" is slice 2 of 3, and \"a\" is slice 1 of 2: give the slices of one "
            "array of 2 or of 3 slices." +
                stop);
  std::vector<SliceFile> other_tests = slices_of({1, 2}, 2);
  other_tests[1].tests[1].observed[0] = 8.0f;
  EXPECT_EQ(incomplete_slices_message(other_tests, {"a", "b"}, "r.txt"),
            "\n\nERROR: the slice files \"a\" and \"b\" hold different tests (their randomizations or observed values "
            "differ): make every slice with one program and one instruction file." +
                stop);
}

}  // namespace
}  // namespace quorvel::randomization
