// The C interface's lookups into a reused caller buffer, in UTF-16 and UTF-8,
// beside LoadStringW in the same run, for the three ways a lookup is answered:
// the exact table, the neutral table of the primary language, English. The
// tables are the generated set the loader benchmarks use. tools/bench/run.sh
// (BENCH=c_interface_bench) runs it over fresh copies of the library and
// prints the ratios.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "Util_StringLoader.h"
#include "platform/common/text_codec.h"
#include "table_generator.h"
#include "util_stringloader_c.h"

namespace {

constexpr int kSpamFolder = 14;
constexpr std::size_t kBufferUnits = 2048;

struct Fixture {
    std::string directory;
    CUtilStringLoader loader;
    usl_loader* cLoader = nullptr;
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

// What LoadStringW answers, as the C lookups must answer it.
bool AnswersAgree(int language) {
    const Fixture& fixture = TheFixture();
    const std::wstring expected = fixture.loader.LoadStringW(language, kSpamFolder, true).str();
    char text[kBufferUnits];
    usl_char16 units[kBufferUnits];
    std::size_t length = 0, length16 = 0;
    if (expected.empty() ||
        usl_loader_string(fixture.cLoader, language, kSpamFolder, 1, text, kBufferUnits, &length) != USL_OK ||
        usl_loader_string16(fixture.cLoader, language, kSpamFolder, 1, units, kBufferUnits, &length16) != USL_OK) {
        return false;
    }
    std::u16string expected16;
    for (const wchar_t c : expected) {
        basekit::detail::ForEachUtf16Unit(static_cast<char32_t>(c), [&](char16_t unit) { expected16 += unit; });
    }
    return std::string(text, length) == basekit::detail::EncodeUtf8(expected) &&
           std::u16string(units, length16) == expected16;
}

void LoadStringW(benchmark::State& state, int language) {
    const CUtilStringLoader& loader = TheFixture().loader;
    if (!AnswersAgree(language)) {
        state.SkipWithError("the C lookups do not answer what LoadStringW answers");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(language);
        basekit::WideString text = loader.LoadStringW(language, kSpamFolder, true);
        benchmark::DoNotOptimize(text);
    }
}

template <typename Unit, typename Call> void CLookup(benchmark::State& state, int language, Call call) {
    const usl_loader* loader = TheFixture().cLoader;
    if (!AnswersAgree(language)) {
        state.SkipWithError("the C lookups do not answer what LoadStringW answers");
        return;
    }
    Unit buffer[kBufferUnits];
    std::size_t length = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(language);
        benchmark::DoNotOptimize(call(loader, language, kSpamFolder, 1, buffer, kBufferUnits, &length));
        benchmark::ClobberMemory();
    }
    state.counters["units"] = static_cast<double>(length); // the text's length in the call's code units
}

// 0x0804 is loaded; 0x0c04 is not, but its neutral table 4 is; 0x0426 has no
// table of its primary language, so English (9) answers.
constexpr int kExact = 0x0804, kNeutral = 0x0c04, kEnglish = 0x0426;

void BM_LoadStringW_Exact(benchmark::State& state) {
    LoadStringW(state, kExact);
}
void BM_CString16_Exact(benchmark::State& state) {
    CLookup<usl_char16>(state, kExact, usl_loader_string16);
}
void BM_CString_Exact(benchmark::State& state) {
    CLookup<char>(state, kExact, usl_loader_string);
}
void BM_LoadStringW_Neutral(benchmark::State& state) {
    LoadStringW(state, kNeutral);
}
void BM_CString16_Neutral(benchmark::State& state) {
    CLookup<usl_char16>(state, kNeutral, usl_loader_string16);
}
void BM_CString_Neutral(benchmark::State& state) {
    CLookup<char>(state, kNeutral, usl_loader_string);
}
void BM_LoadStringW_English(benchmark::State& state) {
    LoadStringW(state, kEnglish);
}
void BM_CString16_English(benchmark::State& state) {
    CLookup<usl_char16>(state, kEnglish, usl_loader_string16);
}
void BM_CString_English(benchmark::State& state) {
    CLookup<char>(state, kEnglish, usl_loader_string);
}

BENCHMARK(BM_LoadStringW_Exact);
BENCHMARK(BM_CString16_Exact);
BENCHMARK(BM_CString_Exact);
BENCHMARK(BM_LoadStringW_Neutral);
BENCHMARK(BM_CString16_Neutral);
BENCHMARK(BM_CString_Neutral);
BENCHMARK(BM_LoadStringW_English);
BENCHMARK(BM_CString16_English);
BENCHMARK(BM_CString_English);

} // namespace

int main(int argc, char** argv) {
    // No trace listener and no installation settings: the lookups of a production service.
    unsetenv("VELMORA_TRACE");
    char pattern[] = "/tmp/ul_c_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    Fixture& fixture = TheFixture();
    fixture.directory = pattern;
    setenv("VELMORA_REGISTRY", (fixture.directory + "/no-registry.reg").c_str(), 1);
    int status = 0;
    try {
        const std::string tables = fixture.directory + "/res";
        std::filesystem::create_directory(tables);
        const bench::TableSetStats stats = bench::WriteStringTables(tables, false);
        std::printf("string tables: %zu files\n", stats.files);
        fixture.loader.LoadAllLanguageStringTable(basekit::detail::FileNameToWide(tables).c_str());
        if (usl_loader_new(&fixture.cLoader) != USL_OK || usl_loader_load(fixture.cLoader, tables.c_str()) != USL_OK) {
            throw std::runtime_error("the C interface cannot load " + tables);
        }
        benchmark::Initialize(&argc, argv);
        if (!benchmark::ReportUnrecognizedArguments(argc, argv)) {
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
        } else {
            status = 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        status = 1;
    }
    usl_loader_free(fixture.cLoader);
    std::filesystem::remove_all(fixture.directory);
    return status;
}
