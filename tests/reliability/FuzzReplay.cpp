// Without libFuzzer (a compiler other than clang) a fuzz target runs as a GoogleTest: every
// file of its corpus, then a bounded set of deterministic mutations of each (truncations,
// byte flips, byte insertions and removals), so the kept regression cases and their
// neighbourhood are exercised in every build.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr int kMutationsPerInput = 300;

// The corpus folder; RASTEL_FUZZ_INPUTS names another one (to replay a found input by hand).
std::filesystem::path corpusFolder() {
  const char* other = std::getenv("RASTEL_FUZZ_INPUTS");
  return other != nullptr ? std::filesystem::path(other) : std::filesystem::path(RASTEL_FUZZ_CORPUS);
}

std::vector<std::vector<uint8_t>> corpus() {
  std::vector<std::vector<uint8_t>> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(corpusFolder())) {
    std::ifstream file(entry.path(), std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  return inputs;
}

void run(const std::vector<uint8_t>& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }

// RASTEL_FUZZ_SUITE names the test after its fuzz target, so every target's test has its own name.
TEST(RASTEL_FUZZ_SUITE, CorpusAndItsMutations) {
  const auto inputs = corpus();
  ASSERT_FALSE(inputs.empty()) << corpusFolder();
  std::mt19937 random(20261208);
  long executions = 0;
  for (const auto& input : inputs) {
    run(input);
    ++executions;
    for (int m = 0; m < kMutationsPerInput; ++m) {
      std::vector<uint8_t> mutated = input;
      const size_t at = mutated.empty() ? 0 : random() % mutated.size();
      switch (m % 4) {
        case 0: mutated.resize(at); break;
        case 1:
          if (!mutated.empty()) mutated[at] ^= static_cast<uint8_t>(1u << (random() % 8));
          break;
        case 2: mutated.insert(mutated.begin() + static_cast<long>(at), static_cast<uint8_t>(random())); break;
        default:
          if (!mutated.empty()) mutated.erase(mutated.begin() + static_cast<long>(at));
          break;
      }
      run(mutated);
      ++executions;
    }
  }
  std::cout << "[ measured ] " << executions << " executions over " << inputs.size() << " corpus inputs\n";
}

}  // namespace
