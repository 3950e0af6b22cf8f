// Peak resident size of quillfen-cli on a large page of short paragraphs, the case where the
// phrases cost the most memory next to the page: phrases, a save that replaces the page by a
// new file, and one that writes it in place (a second hard link); the XLIFF and PO exports, whose
// files are several times the page, and merges of those files with every unit translated. Each
// run is measured as a child process of its own, so that one run's memory does not count for
// the next.
//   memory_bench [MEGABYTES] (default 100)
// Prints each peak as a multiple of the page's size; exit status 1 when one is above its bound:
// 3 for reading, saving and exporting, 4 for a merge.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs the tool with args, its output thrown away; the child's peak resident size in bytes, or
// 0 when it failed.
std::size_t PeakOf(const std::vector<std::string>& args) {
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        static std::string tool = QUILLFEN_CLI;
        argv.push_back(tool.data());
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::freopen("/dev/null", "w", stdout);
        ::execv(tool.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 0;
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

// The exported file at from with every unit translated as a tool gives it back: its text and
// " (ü)". Our exports write each source, and each PO message, on a line of its own.
void Translate(const fs::path& from, const fs::path& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    std::string line, id;
    while (std::getline(in, line)) {
        if (line.starts_with("<source>") && line.ends_with("</source>")) {
            out << line << "<target>" << line.substr(8, line.size() - 17)
                << " (\xC3\xBC)</target>\n";
            continue;
        }
        if (line.starts_with("msgid \"")) id = line.substr(7, line.size() - 8);
        if (line == "msgstr \"\"" && !id.empty()) {
            out << "msgstr \"" << id << " (\xC3\xBC)\"\n";
            continue;
        }
        out << line << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    std::string pattern = (fs::temp_directory_path() / "qfx-memory-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 2;
    const fs::path dir = pattern;
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    const std::string page = dir / "page.html";
    std::size_t size = 0;
    {
        std::ofstream out(page, std::ios::binary);
        std::string chunk = "<html><body>\n";
        for (std::size_t i = 0; size + chunk.size() < megabytes << 20; ++i) {
            chunk +=
                "<p>Paragraph " + std::to_string(i) + " with <b>bold</b> text &amp; more.</p>\n";
            if (chunk.size() > (1 << 20)) {
                out << chunk;
                size += chunk.size();
                chunk.clear();
            }
        }
        chunk += "</body></html>\n";
        out << chunk;
        size += chunk.size();
    }
    const std::string exported = dir / "exported", out = dir / "merged.html";
    fs::create_directory(exported);
    struct {
        const char* name;
        std::vector<std::string> args;
        bool linked;
        double bound;
    } runs[] = {
        {"phrases", {"phrases", page}, false, 3},
        {"export xliff", {"export", page, "-d", exported, "--format", "xliff"}, false, 3},
        {"export po", {"export", page, "-d", exported, "--format", "po"}, false, 3},
        {"merge xliff", {"merge", page, dir / "translated.xlf", "-o", out}, false, 4},
        {"merge po", {"merge", page, dir / "translated.po", "-o", out}, false, 4},
        {"save (new file)", {"save", page, "--set", "2=Neu"}, false, 3},
        {"save (in place)", {"save", page, "--set", "2=Alt"}, true, 3},
    };
    int status = 0;
    std::printf("page: %.1f MB of short paragraphs\n", size / 1048576.0);
    for (const auto& run : runs) {
        if (run.linked) fs::create_hard_link(page, dir / "twin.html");
        // The merges take the exports, translated.
        if (run.args[0] == "merge" && !fs::exists(run.args[2]))
            for (const char* extension : {".xlf", ".po"})
                Translate(fs::path(exported) / (std::string("page") + extension),
                          dir / (std::string("translated") + extension));
        const std::size_t peak = PeakOf(run.args);
        const double ratio = static_cast<double>(peak) / static_cast<double>(size);
        std::printf("%-16s peak %7.1f MB  %.2f x the page\n", run.name, peak / 1048576.0, ratio);
        if (peak == 0 || ratio > run.bound) status = 1;
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return status;
}
