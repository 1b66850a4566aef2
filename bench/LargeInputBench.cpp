// Large inputs: the built-in mapping with N more fields (10 000, 40 000, 100 000) built from its
// document, every field looked up by name, the fields formatted as `read --json` prints them,
// and an export of the records read back as `import` reads it. A quadratic step would take a
// hundred times as long for 100 000 fields as for 10 000.
#include <benchmark/benchmark.h>

#include <string>

#include "cli/SetupFile.h"
#include "model/DeviceMapping.h"
#include "resources/QUBRA_dmi.h"

namespace {

using namespace qubra;

std::unique_ptr<TDataManager> LargeManager(int Extra)
{
    std::string mapping(resources::QUBRA_dmi);
    std::string fields;
    for (int i = 0; i < Extra; ++i)
        fields += "<dataitem name=\"extra_" + std::to_string(i) + "\" type=\"number\" position=\"100\" size=\"1\"/>";
    mapping.insert(mapping.find("</datapacket>"), fields);
    return BuildDeviceMapping(TXmlDocument::Parse(mapping));
}

void BM_BuildAndLookUp(benchmark::State& state)
{
    for (auto _ : state) {
        const std::unique_ptr<TDataManager> manager = LargeManager(static_cast<int>(state.range(0)));
        for (const TFieldEntry& field : SetupFields(*manager))
            benchmark::DoNotOptimize(manager->FindItem(field.Key));
    }
}

void BM_ReadJson(benchmark::State& state)
{
    const std::unique_ptr<TDataManager> manager = LargeManager(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(JsonText(FieldsJson(*manager)));
}

void BM_ExportAndImport(benchmark::State& state)
{
    const std::unique_ptr<TDataManager> manager = LargeManager(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::string text = JsonText(SetupDocument(*manager, "00-20-4a-00-00-01", "10.0.0.1"));
        benchmark::DoNotOptimize(ReadSetupText(text, "bench", *manager));
    }
}

} // namespace

BENCHMARK(BM_BuildAndLookUp)->Arg(10000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadJson)->Arg(10000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportAndImport)->Arg(10000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
