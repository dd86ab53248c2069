#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::randomization {

// A run can evaluate its randomizations in K slices, on K machines: slice k
// evaluates the randomizations i with i mod K = k - 1 of every test and
// writes their values to a slice file; a merge reads the K slice files and
// summarizes the tests as the whole run would have. A slice file is text:
//
//   QUORVEL RANDOMIZATION SLICE<TAB>1                 (format)
//   program<TAB>0.10                                  (version of the program)
//   instruction file<TAB><checksum><TAB><name>
//   data file<TAB><checksum><TAB><name>               (one line per data file)
//   random seed<TAB><seed>
//   slice<TAB><k><TAB><K>
//   tests<TAB><T>
//   test<TAB><t><TAB><randomizations><TAB><values>    (t = 1..T)
//   observed<TAB><t><TAB><values>                     (then, test by test)
//   <i><TAB><values>                                  (each randomization of the slice, in order)
//   end<TAB><checksum of every byte above>
//
// Checksums are FNV-1a (64 bits) in 16 hexadecimal digits; a value is the
// 8 hexadecimal digits of the bits of its float, so that a merge gives the
// summaries of the whole run to the last bit (infinities and not-a-number
// included). The last line makes a truncated or damaged file known.

/// Format number of the slice files this program writes and reads.
inline constexpr int kSliceFormat = 1;

/// FNV-1a hash (64 bits) of `size` bytes, continuing from `hash`.
inline constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037ULL;
std::uint64_t fnv1a_64(const char* data, std::size_t size, std::uint64_t hash = kFnvOffsetBasis);

/// A checksum as the slice files write it: 16 lower-case hexadecimal digits.
std::string checksum_text(std::uint64_t checksum);

/// The number of randomizations 1..n that slice k of K evaluates (those with
/// i mod K = k - 1).
int slice_share(int n, int k, int K);

/// The slice (1..K) that evaluates randomization i.
inline int slice_of(int i, int K) { return i % K + 1; }

/// The values of one randomization test in a slice.
struct SliceTest {
  int n_randomizations = 0;
  int width = 0;                ///< values per randomization
  std::vector<float> observed;  ///< the observed values (width)
  /// The values of the slice's randomizations, in increasing i, width each.
  std::vector<float> values;
};

/// A file whose content a slice depends on, by name, with its checksum.
struct FileChecksum {
  std::string name;
  std::uint64_t checksum = 0;
};

/// What makes slices belong to one run: the program version, the
/// instruction file, the data files and the seed.
struct RunIdentity {
  std::string version;
  FileChecksum instruction_file;
  std::vector<FileChecksum> data_files;
  int seed = 0;  ///< positive, as "RANDOM SEED" gives it
};

/// The content of one slice file.
struct SliceFile {
  RunIdentity identity;
  int k = 1;
  int K = 1;
  std::vector<SliceTest> tests;
};

/// The text of a slice file.
std::string slice_file_text(const SliceFile& slice);

/// Reads the text of the slice file `name`. Stops the run (core::FatalError,
/// status 3) naming the file when it is no slice file, is of another format,
/// or is truncated or damaged.
SliceFile parse_slice_file(const std::string& text, const std::string& name);

/// What makes the slice file `name` foreign to a run of identity `run`
/// (another version, seed, instruction file or data), as the message that
/// refuses it; empty when it belongs to the run.
std::string foreign_slice_message(const SliceFile& slice, const std::string& name, const RunIdentity& run);

/// The message that refuses a set of slice files (`names[j]` the name of
/// `slices[j]`, all belonging to one run) that are not slices 1..K of one
/// array, each once, with the same tests; empty when they are. A missing
/// slice is named as slice_file_name(main_result_file, k, K).
std::string incomplete_slices_message(const std::vector<SliceFile>& slices, const std::vector<std::string>& names,
                                      const std::string& main_result_file);

/// The name of the file of slice k of K: "<main result file>.slice-<k>-of-<K>".
std::string slice_file_name(const std::string& main_result_file, int k, int K);

/// The bytes of the file `path`; false (errno set) when it cannot be read.
bool read_whole_file(const std::string& path, std::string& content);

/// Reads the slice files of a merge (`paths[j]` the file given as
/// `names[j]`) and checks that they are slices 1..K of the run `identity`,
/// each once. Stops the run (status 3) with a message naming the file and
/// what differs.
std::vector<SliceFile> read_slice_files(const std::vector<std::string>& names, const std::vector<std::string>& paths,
                                        const RunIdentity& identity, const std::string& main_result_file);

}  // namespace quorvel::randomization
