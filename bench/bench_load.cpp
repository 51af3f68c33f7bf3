// bench_load.cpp - how long it takes to load the library: every DLL named
// on the command line (default: orin.dll next to this program) is loaded
// with LoadLibrary and freed again COUNT times, the DLLs taking turns so
// that all of them meet the same machine.  Printed per DLL: its file size
// and the mean (and fastest) time of one LoadLibrary call in microseconds.
//
//   bench_load [-n COUNT] [DLL ...]
//   e.g. bench_load Z:\work\bin-before\orin.dll orin.dll
//
// The program links no part of the library itself, so each load maps the
// file afresh and runs its start-up.  The system DLLs a subject imports
// are loaded beforehand and stay loaded, as they are in any application,
// so the figure is the subject's own; the first load of each DLL is not
// counted (it brings the file into the cache).
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr int kDefaultCount = 200;
constexpr const char *kDefaultDll = "orin.dll";

struct ModuleFreer {
    void operator()(HMODULE m) const noexcept { FreeLibrary(m); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

struct Subject {
    std::string path;
    unsigned long long bytes = 0;
    double totalMicros = 0;
    double fastestMicros = 0;
};

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

std::string fullPath(const std::string &name)
{
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(name.c_str(), sizeof buf, buf, nullptr);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : name;
}

std::string besideProgram(const char *file)
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string dir(buf, n < sizeof buf ? n : 0);
    size_t slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + file;
}

unsigned long long fileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a))
        return 0;
    return (static_cast<unsigned long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

/* Loads the DLLs a subject imports and keeps them loaded. */
void keepImportsLoaded(const std::string &path, std::vector<Module> &kept)
{
    std::vector<std::string> names;
    {
        Module image(LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
        if (!image)
            return;
        auto base = reinterpret_cast<const BYTE *>(image.get());
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
        auto nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY &dir =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (dir.VirtualAddress == 0)
            return;
        for (auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
             d->Name != 0; d++)
            names.emplace_back(reinterpret_cast<const char *>(base + d->Name));
    }
    for (const std::string &name : names)
        if (HMODULE m = LoadLibraryA(name.c_str()))
            kept.emplace_back(m);
}

/* One load, timed; the module is freed after the clock stops. */
bool loadOnce(Subject &s, bool counted)
{
    double t0 = now();
    Module m(LoadLibraryA(s.path.c_str()));
    double micros = (now() - t0) * 1e6;
    if (!m) {
        std::printf("cannot load %s (error %lu)\n", s.path.c_str(), GetLastError());
        return false;
    }
    if (counted) {
        s.totalMicros += micros;
        s.fastestMicros = s.fastestMicros > 0 ? std::min(s.fastestMicros, micros) : micros;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    int count = kDefaultCount;
    std::vector<Subject> subjects;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else
            subjects.push_back({fullPath(argv[i])});
    }
    if (subjects.empty())
        subjects.push_back({besideProgram(kDefaultDll)});

    std::vector<Module> imports;
    for (Subject &s : subjects) {
        s.bytes = fileSize(s.path);
        keepImportsLoaded(s.path, imports);
        if (!loadOnce(s, false))
            return 1;
    }
    for (int round = 0; round < count; round++)
        for (Subject &s : subjects)
            if (!loadOnce(s, true))
                return 1;

    std::printf("LoadLibrary + FreeLibrary, %d times per DLL, taking turns (imports kept loaded)\n",
                count);
    for (const Subject &s : subjects)
        std::printf("%-48s %10llu bytes   load %9.1f us mean   %9.1f us fastest\n",
                    s.path.c_str(), s.bytes, s.totalMicros / count, s.fastestMicros);
    return 0;
}
