// ReplaceAll against its definition: search again from the very start after every replacement;
// a replacement that holds its own search text replaces the original occurrences once, left to
// right. The guarded variant that decoding uses for "&amp;" against its own definition: the
// same, skipping the occurrences a character reference follows.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/entities.h"
#include "tests/fuzz/check.h"

using namespace quillfen;

namespace {

// nullopt when the definition takes too many steps to be worth following here.
std::optional<std::string> Naive(std::string s, const std::string& search,
                                 const std::string& repl) {
    if (search.empty()) return s;
    if (repl.find(search) != std::string::npos) {
        std::string out;
        std::size_t from = 0;
        for (std::size_t p = s.find(search); p != std::string::npos; p = s.find(search, from)) {
            out += s.substr(from, p - from) + repl;
            from = p + search.size();
        }
        return out + s.substr(from);
    }
    std::size_t steps = 0;
    for (std::size_t p = s.find(search); p != std::string::npos; p = s.find(search)) {
        if (++steps > 5000 || s.size() > 20000) return std::nullopt;
        s = s.substr(0, p) + repl + s.substr(p + search.size());
    }
    return s;
}

std::optional<std::string> NaiveGuarded(std::string s, const std::string& search, char repl) {
    std::size_t steps = 0;
    for (std::size_t p = s.find(search); p != std::string::npos;) {
        if (++steps > 5000 || s.size() > 20000) return std::nullopt;
        if (StartsCharacterReference(std::string_view(s).substr(p + search.size()))) {
            p = s.find(search, p + 1);
            continue;
        }
        s = s.substr(0, p) + repl + s.substr(p + search.size());
        p = s.find(search);
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string search, repl;
    const std::uint8_t pick = in.ConsumeIntegral<std::uint8_t>();
    const auto& tables = Windows1252Tables();
    if (pick < 16) {
        search = "&amp;";
        repl = "&";
    } else if (pick < 64 && !tables.decode.empty()) {
        const auto& row = tables.decode[pick % tables.decode.size()];
        search = row.search;
        repl = row.replacement;
    } else if (pick < 128) {
        const auto& row = tables.encode[pick % tables.encode.size()];
        search = row.search;
        repl = row.replacement;
    } else {
        search = in.ConsumeRandomLengthString(12);
        repl = in.ConsumeRandomLengthString(12);
    }
    std::string s = in.ConsumeRemainingBytesAsString();
    if (s.size() > 4096) s.resize(4096);
    // Some pairs make the definition itself grow without bound ("ab" by "bbaa" doubles the b's
    // for every a that passes them); ReplaceAll follows it there too, so they are left out. The
    // pages' own tables never do that, and the other targets run them on every input.
    const std::optional<std::string> want = Naive(s, search, repl);
    if (!want) return 0;
    std::string got = s;
    ReplaceAll(got, search, repl);
    QF_CHECK(got == *want, "on '" + s + "' replacing '" + search + "' by '" + repl + "'");

    // Decoding guards its "&amp;" row only; the guard looks at what follows an occurrence, which
    // replacements further on never change for that row.
    if (search == "&amp;" && repl == "&") {
        const std::optional<std::string> guarded = NaiveGuarded(s, search, repl[0]);
        if (!guarded) return 0;
        got = s;
        ReplaceAllBeforeNoReference(got, search, repl[0]);
        QF_CHECK(got == *guarded, "guarded, on '" + s + "' replacing '" + search + "'");
    }
    return 0;
}
