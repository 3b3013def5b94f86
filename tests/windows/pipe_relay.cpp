// pipe_relay.exe PROGRAM [ARGUMENT...]: starts PROGRAM as a Windows GUI starts an engine, with anonymous pipes
// of its own as standard input and output, and relays this process's input to it and its output back. Under Wine
// the engine so sees real Windows pipes (which PeekNamedPipe can look into) rather than the host's. The end of
// this program's input closes the engine's; the engine's exit status becomes this program's.
#include <windows.h>

#include <string>

namespace {

struct Copy {
    HANDLE from, to;
};

DWORD WINAPI copyAll(void* argument) {
    const Copy copy = *static_cast<Copy*>(argument);
    char chunk[4096];
    DWORD got = 0;
    DWORD written = 0;
    while (ReadFile(copy.from, chunk, sizeof chunk, &got, nullptr) && got > 0 &&
           WriteFile(copy.to, chunk, got, &written, nullptr)) {
    }
    CloseHandle(copy.to);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE childInput, toChild, fromChild, childOutput;
    if (argc < 2 || !CreatePipe(&childInput, &toChild, &inheritable, 0) ||
        !CreatePipe(&fromChild, &childOutput, &inheritable, 0))
        return 2;
    SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine;
    for (int i = 1; i < argc; ++i) commandLine += std::string(i > 1 ? " \"" : "\"") + argv[i] + "\"";

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process))
        return 4;
    // The program ends with this one, even when a test gives up and kills the relay: it must not live on as
    // an orphan.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(childInput);
    CloseHandle(childOutput);

    // The input thread may still wait for input nobody sends when the program ends; ExitProcess ends it.
    Copy input{GetStdHandle(STD_INPUT_HANDLE), toChild};
    CreateThread(nullptr, 0, copyAll, &input, 0, nullptr);
    Copy output{fromChild, GetStdHandle(STD_OUTPUT_HANDLE)};
    copyAll(&output);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    return int(status);
}
