// Replays fuzz inputs through a fuzz target's entry point without libFuzzer,
// so that the g++ build (and its sanitizer builds) run the seed corpora and
// every input that once found a fault as ordinary tests:
//   <target>_replay FILE_OR_FOLDER...
// Exits 0 when every input ran; a fault aborts, as under the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The files named, folders expanded to their files in name order.
std::vector<std::string> input_files(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (!std::filesystem::is_directory(path)) {
      files.push_back(path.string());
      continue;
    }
    std::vector<std::string> inside;
    for (const auto& entry : std::filesystem::directory_iterator(path))
      if (entry.is_regular_file()) inside.push_back(entry.path().string());
    std::sort(inside.begin(), inside.end());
    files.insert(files.end(), inside.begin(), inside.end());
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> files = input_files(argc, argv);
  if (files.empty()) {
    fprintf(stderr, "replay: no inputs\n");
    return 1;
  }
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      fprintf(stderr, "replay: cannot read %s\n", file.c_str());
      return 1;
    }
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fprintf(stderr, "replay: %s\n", file.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  printf("replay: %zu inputs ran\n", files.size());
  return 0;
}
