// Reading a registry file of 100,000 sibling keys, each with one value: written in name order
// and in a shuffled order. A shuffled file must cost about as much as a sorted one (n log n),
// not grow with the square of the number of keys.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "registry/RegFileParser.h"

namespace {

constexpr size_t kKeys = 100000;

// The file with its keys in the order of `order`; names are zero-padded so that this order is
// also the order of the names.
std::string RegistryFile(const std::vector<size_t>& order) {
    std::string file = "Windows Registry Editor Version 5.00\n\n";
    for (const size_t index : order) {
        std::string digits = std::to_string(index);
        digits.insert(0, 6 - digits.size(), '0');
        file += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Key" + digits + "]\n";
        file += "\"Value\"=dword:00000001\n\n";
    }
    return file;
}

std::vector<size_t> SortedOrder() {
    std::vector<size_t> order(kKeys);
    std::iota(order.begin(), order.end(), size_t{0});
    return order;
}

std::vector<size_t> ShuffledOrder() {
    std::vector<size_t> order = SortedOrder();
    std::shuffle(order.begin(), order.end(), std::mt19937(20240601));
    return order;
}

void Parse(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        RegFileParseResult result = ParseRegFile(file, "bench.reg");
        if (result.diagnostic) {
            state.SkipWithError("the generated file is malformed");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kKeys));
}

void RegFileParse_100kKeys_Sorted(benchmark::State& state) {
    static const std::string file = RegistryFile(SortedOrder());
    Parse(state, file);
}
BENCHMARK(RegFileParse_100kKeys_Sorted)->Unit(benchmark::kMillisecond);

void RegFileParse_100kKeys_Unsorted(benchmark::State& state) {
    static const std::string file = RegistryFile(ShuffledOrder());
    Parse(state, file);
}
BENCHMARK(RegFileParse_100kKeys_Unsorted)->Unit(benchmark::kMillisecond);

}  // namespace
