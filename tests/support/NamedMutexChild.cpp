// The other process of the named-mutex and trace-line tests, started with one command:
//   append NAME FILE TAG COUNT   appends the lines "TAG 0" .. "TAG COUNT-1" through the mutex
//   hold NAME MARKER MS          takes the mutex, creates the file MARKER, keeps the mutex MS ms
//   die NAME                     takes the mutex and ends without releasing it
//   open NAME MS                 Windows: OpenMutexA for SYNCHRONIZE, then a wait of MS ms
//   wait HANDLE MS               Windows: a wait of MS ms on an inherited handle (its number)
//   directories-first            the module's start-up, then a directory query before any trace
// The exit code is the last wait's result, 100 when the mutex could not be had, 101 for an
// unknown command.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "directories/ConfigDB.h"
#include "directories/InternTraceLine.h"
#include "extension/StartupHooks.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace configdb;

namespace {

int Append(NamedMutex& mutex, const std::string& file, const std::string& tag, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string message = tag + " " + std::to_string(i);
        AppendInternTraceLine(&mutex, file, ComposeInternTraceLine(&message, 0));
    }
    return 0;
}

int Hold(NamedMutex& mutex, const std::string& marker, int milliseconds) {
    const int32_t result = mutex.Wait(10'000);
    std::ofstream{marker};
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    mutex.Release();
    return result;
}

// Init's first line goes to the module's trace, whose first line searches for the trace system
// through this library. A hang ends after 20 s with 102.
int DirectoriesFirst() {
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(20));
        std::_Exit(102);
    }).detach();
    OnProcessAttach();
    CDB_GetLogDir(std::string("K7000102"), true);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "directories-first") {
        return DirectoriesFirst();
    }
    const std::string command = argc > 2 ? argv[1] : "";
#ifdef _WIN32
    if ((command == "open" || command == "wait") && argc == 4) {
        const HANDLE handle = command == "open" ? OpenMutexA(SYNCHRONIZE, FALSE, argv[2])
                                                : reinterpret_cast<HANDLE>(std::stoull(argv[2]));
        return handle == nullptr
                   ? 100
                   : static_cast<int>(WaitForSingleObject(handle, std::stoul(argv[3])));
    }
#endif
    uint32_t error = 0;
    const std::unique_ptr<NamedMutex> mutex = CreateNamedMutex(argc > 2 ? argv[2] : "", error);
    if (mutex == nullptr) {
        return 100;
    }
    if (command == "append" && argc == 6) {
        return Append(*mutex, argv[3], argv[4], std::stoi(argv[5]));
    }
    if (command == "hold" && argc == 5) {
        return Hold(*mutex, argv[3], std::stoi(argv[4]));
    }
    if (command == "die") {
        const int32_t result = mutex->Wait(10'000);
        std::_Exit(result);  // without Release, and without closing anything first
    }
    return 101;
}
