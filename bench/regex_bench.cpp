// The regular-expression engine against PCRE2's interpreter (no JIT), 8-bit
// and 16-bit, on the same patterns and the same 1 MB subject: every match of
// the subject is found. The JIT columns are for information. The table at
// the end takes every run of each benchmark (use --benchmark_repetitions for
// several) and gives the medians and their ratios.
#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include "app/RegExEngine.h"

#include <algorithm>
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

const std::u16string& WideSubject() {
    static const std::u16string text(Subject().begin(), Subject().end());
    return text;
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

void BM_Ours(benchmark::State& state, const Pattern& p) {
    TRegExEngine re;
    re.SetModifierI(p.CaseInsensitive);
    re.SetExpression(Wide(p.Text));
    re.SetInputString(WideSubject());
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

// PCRE2 in one code-unit width: the same loop over one subject for the
// interpreter and for the JIT.
template <int Width> struct Pcre2;

#define LANTROVE_PCRE2_WIDTH(W, Char, Getter, Suffix)                                              \
    template <> struct Pcre2<W> {                                                                  \
        using Code = pcre2_code_##Suffix;                                                          \
        using Data = pcre2_match_data_##Suffix;                                                    \
        using String = std::basic_string<Char>;                                                    \
        static const String& Input() { return Getter(); }                                          \
        static Code* Compile(const String& pattern, uint32_t options, int* error,                  \
                             PCRE2_SIZE* offset) {                                                 \
            return pcre2_compile_##Suffix(reinterpret_cast<PCRE2_SPTR##Suffix>(pattern.data()),    \
                                          pattern.size(), options, error, offset, nullptr);        \
        }                                                                                          \
        static bool Jit(Code* code) {                                                              \
            return pcre2_jit_compile_##Suffix(code, PCRE2_JIT_COMPLETE) == 0;                      \
        }                                                                                          \
        static Data* NewData(Code* code) {                                                         \
            return pcre2_match_data_create_from_pattern_##Suffix(code, nullptr);                   \
        }                                                                                          \
        static int Match(Code* code, const String& s, PCRE2_SIZE offset, Data* md) {               \
            return pcre2_match_##Suffix(code, reinterpret_cast<PCRE2_SPTR##Suffix>(s.data()),      \
                                        s.size(), offset, 0, md, nullptr);                         \
        }                                                                                          \
        static const PCRE2_SIZE* Ovector(Data* md) {                                               \
            return pcre2_get_ovector_pointer_##Suffix(md);                                         \
        }                                                                                          \
        static void Free(Code* code, Data* md) {                                                   \
            pcre2_match_data_free_##Suffix(md);                                                    \
            pcre2_code_free_##Suffix(code);                                                        \
        }                                                                                          \
    }

LANTROVE_PCRE2_WIDTH(8, char, Subject, 8);
LANTROVE_PCRE2_WIDTH(16, char16_t, WideSubject, 16);
#undef LANTROVE_PCRE2_WIDTH

template <int Width> void BM_Pcre2(benchmark::State& state, const Pattern& p, bool jit) {
    using P = Pcre2<Width>;
    const std::string text = p.Text;
    const typename P::String pattern(text.begin(), text.end());
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    auto* code = P::Compile(pattern, p.CaseInsensitive ? PCRE2_CASELESS : 0u, &error, &errorOffset);
    if (!code) {
        state.SkipWithError("pattern refused");
        return;
    }
    if (jit && !P::Jit(code)) {
        P::Free(code, P::NewData(code));
        state.SkipWithError("no JIT");
        return;
    }
    auto* md = P::NewData(code);
    const auto& subject = P::Input();
    int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        PCRE2_SIZE offset = 0;
        while (P::Match(code, subject, offset, md) > 0) {
            ++matches;
            const PCRE2_SIZE* ov = P::Ovector(md);
            offset = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
            if (offset > subject.size()) break;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(matches);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Subject().size()));
    P::Free(code, md);
}

const char* const Columns[] = {"Ours", "Pcre2_8", "Pcre2_16", "Jit_8", "Jit_16"};

// Keeps the time per iteration of every run of every benchmark; the console
// shows the aggregates when there are repetitions, else the runs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        std::vector<Run> shown;
        bool aggregates = false;
        for (const auto& r : reports)
            aggregates = aggregates || r.run_type == Run::RT_Aggregate;
        for (const auto& r : reports) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                const std::string name = r.run_name.function_name;
                Times[name].push_back(r.GetAdjustedCPUTime());
                auto it = r.counters.find("matches");
                if (it != r.counters.end()) Matches[name] = it->second.value;
            }
            if (!aggregates || r.run_type == Run::RT_Aggregate) shown.push_back(r);
        }
        ConsoleReporter::ReportRuns(shown);
    }
    // Median of every run of the benchmark; 0 when it never ran.
    double Median(const std::string& name) const {
        auto it = Times.find(name);
        if (it == Times.end() || it->second.empty()) return 0;
        std::vector<double> t = it->second;
        std::sort(t.begin(), t.end());
        const size_t n = t.size();
        return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
    }
    size_t Runs(const std::string& name) const {
        auto it = Times.find(name);
        return it == Times.end() ? 0 : it->second.size();
    }
    std::map<std::string, std::vector<double>> Times;
    std::map<std::string, double> Matches;
};

} // namespace

int main(int argc, char** argv) {
    for (const auto& p : Patterns) {
        auto add = [&](const char* column, auto fn) {
            benchmark::RegisterBenchmark((std::string(column) + "/" + p.Name).c_str(), fn)
                ->Unit(benchmark::kMillisecond);
        };
        add("Ours", [&p](benchmark::State& s) { BM_Ours(s, p); });
        add("Pcre2_8", [&p](benchmark::State& s) { BM_Pcre2<8>(s, p, false); });
        add("Pcre2_16", [&p](benchmark::State& s) { BM_Pcre2<16>(s, p, false); });
        add("Jit_8", [&p](benchmark::State& s) { BM_Pcre2<8>(s, p, true); });
        add("Jit_16", [&p](benchmark::State& s) { BM_Pcre2<16>(s, p, true); });
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nmedian ms per pass over the subject; ratio = ours / PCRE2 interpreter\n");
    std::printf("%-17s %5s %8s %8s %6s %8s %6s %8s %8s %s\n", "pattern", "runs", "ours", "pcre2-8",
                "ratio", "pcre2-16", "ratio", "jit-8", "jit-16", "matches");
    for (const auto& p : Patterns) {
        const std::string name = p.Name;
        double t[5];
        bool same = true;
        size_t runs = 0;
        for (int c = 0; c < 5; ++c) {
            const std::string key = std::string(Columns[c]) + "/" + name;
            t[c] = reporter.Median(key);
            if (c == 0) runs = reporter.Runs(key);
            if (t[c] > 0 && reporter.Matches[key] != reporter.Matches["Ours/" + name]) same = false;
        }
        if (t[0] <= 0) continue;
        auto ratio = [&](double ref) { return ref > 0 ? t[0] / ref : 0.0; };
        std::printf("%-17s %5zu %8.3f %8.3f %6.2f %8.3f %6.2f %8.3f %8.3f %s\n", name.c_str(), runs,
                    t[0], t[1], ratio(t[1]), t[2], ratio(t[2]), t[3], t[4],
                    same ? "same" : "DIFFER");
    }
    benchmark::Shutdown();
    return 0;
}
