#pragma once

// Runs a built program on Windows the way a script would, without cmd.exe between: the
// arguments quoted as the program's start-up code splits them again, UTF-8 throughout.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace quillfen::testing {

inline std::wstring WideText(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

// One argument as CommandLineToArgvW reads it back: backslashes are literal except before a
// quote, where they and the quote are escaped.
inline std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

struct TProgramRun {
    int Status = -1;  // the exit code; -1 when the program could not be started
    std::string Out;  // standard output, byte for byte
};

// Runs program with args; standard error goes to the file errPath (empty: discarded). The
// variables in env are set for the program and put back afterwards.
inline TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::string& errPath = {},
                              const std::vector<std::pair<std::string, std::string>>& env = {}) {
    TProgramRun run;
    wchar_t full[MAX_PATH * 4];
    if (!GetFullPathNameW(WideText(program).c_str(), MAX_PATH * 4, full, nullptr)) return run;
    std::wstring line = QuoteArgument(full);
    for (const std::string& arg : args) line += L" " + QuoteArgument(WideText(arg));

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readOut = nullptr, writeOut = nullptr;
    if (!CreatePipe(&readOut, &writeOut, &inherit, 0)) return run;
    SetHandleInformation(readOut, HANDLE_FLAG_INHERIT, 0);
    const HANDLE err =
        CreateFileW(errPath.empty() ? L"NUL" : WideText(errPath).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);

    std::vector<std::pair<std::wstring, std::wstring>> saved;
    for (const auto& [name, value] : env) {
        const std::wstring wideName = WideText(name);
        wchar_t old[32768];
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), old, 32768);
        saved.emplace_back(wideName, n ? std::wstring(old, n) : std::wstring());
        SetEnvironmentVariableW(wideName.c_str(), WideText(value).c_str());
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeOut;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(full, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    for (const auto& [name, value] : saved)
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    CloseHandle(writeOut);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readOut, buffer, sizeof buffer, &got, nullptr) && got > 0)
            run.Out.append(buffer, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.Status = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readOut);
    return run;
}

}  // namespace quillfen::testing
