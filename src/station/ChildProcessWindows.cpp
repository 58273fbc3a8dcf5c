#include "ChildProcess.h"

#include <windows.h>

#include "startup/SystemErrorText.h"
#include "startup/WideText.h"

namespace mirvok::station {
namespace {

// One argument as the child's command-line parser reads it back: quoted when
// it holds a blank or a quote, backslashes before a quote doubled.
std::wstring QuotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

class WindowsChild final : public ChildProcess {
public:
    WindowsChild(HANDLE process, HANDLE input, HANDLE output)
        : process_(process), input_(input), output_(output) {}
    ~WindowsChild() override {
        CloseInput();
        if (output_) CloseHandle(output_);
        int code = 0;
        if (!Ended(code)) {
            Kill();
            WaitForSingleObject(process_, INFINITE);
        }
        CloseHandle(process_);
    }

    bool ReadAvailable(std::string& out) override {
        if (!output_) return false;
        for (;;) {
            DWORD waiting = 0;
            if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &waiting, nullptr)) break;  // the child has gone
            if (waiting == 0) return true;
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(output_, buffer, waiting < sizeof buffer ? waiting : DWORD{sizeof buffer}, &got,
                          nullptr) ||
                got == 0)
                break;
            out.append(buffer, got);
        }
        CloseHandle(output_);
        output_ = nullptr;
        return false;
    }

    void CloseInput() override {
        if (input_) CloseHandle(input_);
        input_ = nullptr;
    }

    bool Ended(int& exitCode) override {
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return false;
        DWORD code = 0;
        exitCode = GetExitCodeProcess(process_, &code) && !killed_ ? static_cast<int>(code) : -1;
        return true;
    }

    void Kill() override { killed_ = TerminateProcess(process_, 1) != 0; }

private:
    HANDLE process_;
    HANDLE input_;
    HANDLE output_;
    bool killed_ = false;
};

// The job every child goes into: it is closed when the supervisor ends, in
// whatever way, and its closing ends every child still in it, so none goes
// on to complete a device that nobody records. Not inherited: a child that
// held it would keep the others alive.
HANDLE StationJob() {
    static const HANDLE job = [] {
        const HANDLE made = CreateJobObjectW(nullptr, nullptr);
        if (!made) return HANDLE{nullptr};
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
            CloseHandle(made);
            return HANDLE{nullptr};
        }
        return made;
    }();
    return job;
}

}  // namespace

std::string ChildProcess::OwnProgram() {
    std::wstring name(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    return length == 0 || length >= name.size() ? std::string("mirvok-cli.exe")
                                                : Utf8(name.substr(0, length));
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& args,
                                                  std::string& failure) {
    failure.clear();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) {
        failure = SystemErrorText(GetLastError());
        return nullptr;
    }
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        failure = SystemErrorText(GetLastError());
        CloseHandle(inRead);
        CloseHandle(inWrite);
        return nullptr;
    }
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);

    // Only these three handles go to the child, so that no child holds
    // another's pipe open and closing an input reaches its own child alone.
    HANDLE inherited[3] = {inRead, outWrite, null};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string attributeSpace(size, '\0');
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeSpace.data());
    const bool listed =
        InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
        UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                  null == INVALID_HANDLE_VALUE ? 2 * sizeof(HANDLE) : sizeof inherited,
                                  nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inRead;
    startup.StartupInfo.hStdOutput = outWrite;
    startup.StartupInfo.hStdError = null == INVALID_HANDLE_VALUE ? nullptr : null;
    startup.lpAttributeList = listed ? attributes : nullptr;

    std::wstring commandLine = QuotedArgument(Wide(program));
    for (const std::string& arg : args) commandLine += L" " + QuotedArgument(Wide(arg));
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so that it can't start anything
    // that would escape it. A supervisor without a console (the station
    // window) gives its children none either: each would open a console
    // window of its own on the operator's screen.
    const DWORD consoleFlag = GetConsoleWindow() ? 0 : CREATE_NO_WINDOW;
    const bool started =
        listed && CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT |
                                     consoleFlag,
                                 nullptr, nullptr, &startup.StartupInfo, &info);
    if (!started) failure = SystemErrorText(GetLastError());
    if (listed) DeleteProcThreadAttributeList(attributes);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
    if (!started) {
        CloseHandle(inWrite);
        CloseHandle(outRead);
        return nullptr;
    }
    // Outside the job (a system that refuses it) the child still stops when
    // its input ends; only the supervisor's own end is then no stop order.
    if (const HANDLE job = StationJob()) AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return std::make_unique<WindowsChild>(info.hProcess, inWrite, outRead);
}

}  // namespace mirvok::station
