/*
 * testutil.h - small helpers shared by the test programs: scratch files
 * in the working directory, whole-file reads and command lines run through
 * the command interpreter.
 */
#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <windows.h>
#include <string>
#include <cstdio>

namespace testutil {

inline std::string readFile(const std::string &name)
{
    std::string out;
    FILE *f = fopen(name.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

inline bool writeFile(const std::string &name, const std::string &data)
{
    FILE *f = fopen(name.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

inline bool fileExists(const std::string &name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

/* Removes a file when the scope ends. */
struct ScratchFile {
    std::string name;
    explicit ScratchFile(std::string n) : name(std::move(n)) { DeleteFileA(name.c_str()); }
    ~ScratchFile() { DeleteFileA(name.c_str()); }
};

/* What a command line printed, and its exit status. */
struct CommandResult {
    int status = -1;
    std::string out;  // standard output (and standard error when merged)
    std::string err;  // standard error when kept apart
};

/* Runs a command line through the command interpreter.  Standard error is
 * merged into the output, or kept apart when errFile names a scratch file
 * to catch it in.  A start that fails outright - status -1 and nothing
 * printed: the host could not start the interpreter, which a busy
 * whole-suite run has seen - is made once more. */
inline CommandResult runCommand(const std::string &cmd, const char *errFile = nullptr)
{
    const std::string line = cmd + (errFile ? std::string(" 2>") + errFile : " 2>&1");
    CommandResult r;
    for (int attempt = 0; attempt < 2; attempt++) {
        r = CommandResult();
        if (FILE *p = _popen(line.c_str(), "rb")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, p)) > 0)
                r.out.append(buf, n);
            r.status = _pclose(p);
        }
        if (errFile) {
            r.err = readFile(errFile);
            DeleteFileA(errFile);
        }
        if (r.status != -1 || !r.out.empty() || !r.err.empty())
            break;
    }
    return r;
}

} // namespace testutil

#endif
