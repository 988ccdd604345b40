// The regular-expression engine against PCRE2 (interpreter, no JIT) on the
// same patterns and the same 1 MB subject: every match of the subject is
// found, and the ratio of the two times is printed at the end.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include "app/RegExEngine.h"

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

struct Pattern {
    const char* Name;
    const char* Text;
    bool CaseInsensitive;
};

const Pattern Patterns[] = {
    {"literal", "needle", false},
    {"class_run", "[a-z]+ing", false},
    {"digits", "\\d{3}-\\d{4}", false},
    {"email", "(\\w+)@(\\w+)\\.com", false},
    {"alternation", "foo|bar|baz", false},
    {"word_bound", "\\bqu\\w+", false},
    {"lazy_tag", "<b>.*?</b>", false},
    {"template_markers",
     "\\{([a-z]+[a-z0-9_]*)\\}|<!-- begin block ([A-Za-z0-9_]+) -->|"
     "<!-- end block ([A-Za-z0-9_]+) -->",
     true},
};

// About 1 MB of words, numbers, addresses and markup, the same on every run.
const std::string& Subject() {
    static const std::string text = [] {
        const char* words[] = {"the",   "music",   "video",  "search", "result",  "playing",
                               "quick", "singing", "artist", "album",  "title",   "page",
                               "queue", "loading", "song",   "list",   "dancing", "download",
                               "a",     "of",      "and",    "to",     "in",      "with"};
        const char* rare[] = {"needle",
                              "foo",
                              "bar",
                              "baz",
                              "555-1234",
                              "me@host.com",
                              "{VAR}",
                              "<b>x</b>",
                              "<!-- begin block youtube -->",
                              "<!-- end block youtube -->"};
        std::mt19937 rng(12345);
        std::string s;
        s.reserve(1 << 20);
        while (s.size() < (1u << 20) - 64) {
            if (rng() % 40 == 0)
                s += rare[rng() % (sizeof rare / sizeof rare[0])];
            else
                s += words[rng() % (sizeof words / sizeof words[0])];
            s += rng() % 12 == 0 ? ".\n" : " ";
        }
        return s;
    }();
    return text;
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

void BM_Ours(benchmark::State& state, const Pattern& p) {
    TRegExEngine re;
    re.SetModifierI(p.CaseInsensitive);
    re.SetExpression(Wide(p.Text));
    re.SetInputString(Wide(Subject()));
    int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        for (bool found = re.ExecPos(1); found; found = re.ExecNext())
            ++matches;
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Subject().size()));
}

void BM_Pcre2(benchmark::State& state, const Pattern& p) {
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.Text), PCRE2_ZERO_TERMINATED,
                      p.CaseInsensitive ? PCRE2_CASELESS : 0, &error, &errorOffset, nullptr);
    if (!code) {
        state.SkipWithError("pattern refused");
        return;
    }
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    const std::string& subject = Subject();
    const auto* s = reinterpret_cast<PCRE2_SPTR>(subject.data());
    int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        PCRE2_SIZE offset = 0;
        while (pcre2_match(code, s, subject.size(), offset, 0, md, nullptr) > 0) {
            ++matches;
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            offset = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
            if (offset > subject.size()) break;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(subject.size()));
    pcre2_match_data_free(md);
    pcre2_code_free(code);
}

// Keeps the time per iteration of every run besides printing it.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const auto& r : reports) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
            Times[r.benchmark_name()] = r.GetAdjustedCPUTime();
            auto it = r.counters.find("matches");
            if (it != r.counters.end()) Matches[r.benchmark_name()] = it->second.value;
        }
        ConsoleReporter::ReportRuns(reports);
    }
    std::map<std::string, double> Times;
    std::map<std::string, double> Matches;
};

} // namespace

int main(int argc, char** argv) {
    for (const auto& p : Patterns) {
        benchmark::RegisterBenchmark((std::string("Ours/") + p.Name).c_str(), BM_Ours, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Pcre2/") + p.Name).c_str(), BM_Pcre2, p)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-18s %12s %12s %8s %s\n", "pattern", "ours (ms)", "pcre2 (ms)", "ratio",
                "matches");
    for (const auto& p : Patterns) {
        const std::string ours = std::string("Ours/") + p.Name;
        const std::string pcre = std::string("Pcre2/") + p.Name;
        if (!reporter.Times.count(ours) || !reporter.Times.count(pcre)) continue;
        const double a = reporter.Times[ours], b = reporter.Times[pcre];
        const bool same = reporter.Matches[ours] == reporter.Matches[pcre];
        std::printf("%-18s %12.3f %12.3f %8.2f %s\n", p.Name, a, b, b > 0 ? a / b : 0.0,
                    same ? "same" : "DIFFER");
    }
    benchmark::Shutdown();
    return 0;
}
