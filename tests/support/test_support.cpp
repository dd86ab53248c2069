#include "support/test_support.hpp"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/console.hpp"

namespace quorvel::testing {

std::string data_path(const std::string& relative) { return std::string(QUORVEL_TEST_DATA_DIR) + "/" + relative; }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

core::NameTable name_list(const std::vector<std::string>& list) {
  core::NameTable table = core::name_table(0, static_cast<int>(list.size()));
  for (std::size_t i = 0; i < list.size(); ++i) table[static_cast<int>(i) + 1] = list[i];
  return table;
}

void WorkDirTest::SetUp() {
  old_dir_ = std::filesystem::current_path().string();
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) FAIL() << "cannot create a temporary folder";
  work_dir_ = pattern;
  std::filesystem::current_path(work_dir_);
  output_ = std::tmpfile();
  set_console_input("");
}

void WorkDirTest::TearDown() {
  core::set_console_streams(nullptr, nullptr);
  if (input_) std::fclose(input_);
  if (output_) std::fclose(output_);
  input_ = output_ = nullptr;
  std::filesystem::current_path(old_dir_);
  std::error_code ignored;
  std::filesystem::remove_all(work_dir_, ignored);
}

void WorkDirTest::set_console_input(const std::string& text) {
  if (input_) std::fclose(input_);
  input_ = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), input_);
  std::rewind(input_);
  core::set_console_streams(input_, output_);
}

std::string WorkDirTest::console_output() {
  std::fflush(output_);
  const long end = std::ftell(output_);
  std::string text(static_cast<std::size_t>(end), '\0');
  std::rewind(output_);
  const std::size_t got = std::fread(text.data(), 1, text.size(), output_);
  text.resize(got);
  std::fseek(output_, 0, SEEK_END);
  return text;
}

core::FatalError expect_fatal(const std::function<void()>& action) {
  try {
    action();
  } catch (const core::FatalError& error) {
    return error;
  }
  ADD_FAILURE() << "the run was expected to stop";
  return core::FatalError("<no stop>", -1, false, false);
}

}  // namespace quorvel::testing
