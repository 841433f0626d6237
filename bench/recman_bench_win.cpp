#include <filesystem>

#include "bench/recman_bench.h"

int main() {
  return recman::bench::run((std::filesystem::temp_directory_path() / "kovo-recman-bench").string());
}
