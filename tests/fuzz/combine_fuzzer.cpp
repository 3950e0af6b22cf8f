// Combine on random template and text files, against a plain reading of its steps: it either
// writes exactly that page, or fails with one of its three errors and leaves the destination as
// it was.
//
// Input (FuzzedDataProvider): the situation from the last byte, the template, then the text.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "buffer.h"
#include "check.h"
#include "errors.h"
#include "exchange/combine.h"

using namespace quillfen;
namespace fs = std::filesystem;

namespace {

struct TExpected {
    std::optional<std::string> page;  // else the error text
    std::string error;
};

// The steps as written: both files as lines, marker k looked for once per line, text line k cut
// by the lengths of its tags.
TExpected Reference(const std::string& templ, const std::string& text) {
    TLines lines = SplitLines(templ);
    const TLines texts = SplitLines(text);
    std::size_t k = 0;
    for (std::string& line : lines) {
        const std::string marker = "%_" + std::to_string(k) + "_%";
        const std::size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        if (k >= texts.size()) return {std::nullopt, ListIndexError(k).what()};
        const std::string& source = texts[k];
        const std::size_t t = std::to_string(k + 1).size() + 2;
        const std::string phrase = source.size() > t + 3 ? source.substr(t, source.size() - t - 3) : "";
        line = line.substr(0, at) + phrase + line.substr(at + marker.size());
        ++k;
    }
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return {out, {}};
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

const fs::path& Folder() {
    static const fs::path folder = [] {
        fs::path p = fs::temp_directory_path() / ("quillfen-fuzz-combine-" + std::to_string(getpid()));
        fs::create_directories(p);
        return p;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t situation = in.ConsumeIntegral<std::uint8_t>();
    const std::string templ = in.ConsumeRandomLengthString();
    const std::string text = in.ConsumeRemainingBytesAsString();

    const std::string dir = Folder().string();
    std::string templatePath = dir + "/page.templ";
    std::string textPath = dir + "/page.txt";
    std::string destPath = dir + "/page.htm";
    std::error_code ec;
    fs::remove(templatePath, ec);
    fs::remove(textPath, ec);
    fs::remove(destPath, ec);
    Write(templatePath, templ);
    Write(textPath, text);

    const std::string old = "<p>old page</p>\r\n";
    const bool destExists = situation & 1;
    if (destExists) Write(destPath, old);
    TExpected want = Reference(templ, text);
    switch ((situation >> 1) % 8) {
        case 1:  // no template
            templatePath = dir + "/missing.templ";
            want = {std::nullopt, CannotOpenError(templatePath).what()};
            break;
        case 2:  // no text file
            textPath = dir + "/missing.txt";
            want = {std::nullopt, CannotOpenError(textPath).what()};
            break;
        case 3:  // neither: the template is read first
            templatePath = "";
            textPath = dir;
            want = {std::nullopt, CannotOpenError(templatePath).what()};
            break;
        case 4:  // a folder as the text file
            textPath = dir;
            want = {std::nullopt, CannotOpenError(textPath).what()};
            break;
        case 5:  // the destination's folder is missing
            destPath = dir + "/no/such/folder/page.htm";
            if (want.page) want = {std::nullopt, CannotCreateError(destPath).what()};
            break;
        case 6:  // the destination is a folder
            destPath = dir;
            if (want.page) want = {std::nullopt, CannotCreateError(destPath).what()};
            break;
        default:
            break;
    }

    std::optional<std::string> error;
    try {
        Combine(textPath, templatePath, destPath);
    } catch (const TError& e) {
        error = e.what();
    }
    if (want.page) {
        QF_CHECK(!error, "unexpected error: " + error.value_or(""));
        QF_CHECK(ReadFileBytes(destPath) == *want.page);
        QF_CHECK(CombineBytes(templ, text) == *want.page);
    } else {
        QF_CHECK(error == want.error, "expected '" + want.error + "', got '" + error.value_or("") + "'");
        if (destPath.rfind(dir + "/page.htm", 0) == 0) {
            QF_CHECK(fs::exists(destPath) == destExists, "destination created despite the error");
            if (destExists) QF_CHECK(ReadFileBytes(destPath) == old, "destination changed");
        }
    }
    // No temporary file is left behind in the folder.
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    QF_CHECK(files == 2u + (fs::exists(dir + "/page.htm") ? 1 : 0), "stray files in the folder");
    return 0;
}
