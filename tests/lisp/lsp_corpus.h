// The VelaLISP script corpus of tests/lisp/scripts: reading its files
// into cases and steps.  Shared by the drivers that run the corpus.
//
// Corpus format (one file holds many cases):
//   ;;; case <name> [buf=<size>] [cp932]
//   <source lines>                 evaluated together by LspParseExpressions
//   ;; => <expected result>         ends one step; "*" accepts any result
//   ;; err 0xE039                   expected code of that step (default 0)
//   ;; msg <text>                   expected last-error text of that step
// Expected texts take the escapes \n, \t and \\.  Cases marked cp932
// run only under code page 932.
#ifndef LSP_CORPUS_H
#define LSP_CORPUS_H

#include <windows.h>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef LSP_SCRIPT_DIR
#error LSP_SCRIPT_DIR must name the corpus folder
#endif

namespace corpus {

struct Step {
    int line = 0;
    std::string source;
    std::string expect;
    bool anyResult = false;
    unsigned code = 0;
    bool checkMsg = false;
    std::string msg;
};

struct Case {
    std::string file;
    int line = 0;
    std::string name;
    unsigned short buf = 2048;
    bool cp932 = false;
    std::vector<Step> steps;
};

inline std::string unescape(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

inline bool startsWith(const std::string &s, const char *p)
{
    return s.compare(0, strlen(p), p) == 0;
}

inline std::vector<Case> parseFile(const std::string &path, const std::string &shortName)
{
    std::vector<Case> cases;
    std::ifstream in(path, std::ios::binary);
    std::string line, pending;
    int lineNo = 0, pendingLine = 0;
    while (std::getline(in, line)) {
        lineNo++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (startsWith(line, ";;; case ")) {
            Case c;
            c.file = shortName;
            c.line = lineNo;
            std::istringstream words(line.substr(9));
            std::string w;
            words >> c.name;
            while (words >> w) {
                if (startsWith(w, "buf="))
                    c.buf = (unsigned short)atoi(w.c_str() + 4);
                else if (w == "cp932")
                    c.cp932 = true;
            }
            cases.push_back(c);
            pending.clear();
            continue;
        }
        if (cases.empty())
            continue;
        if (startsWith(line, ";; => ") || line == ";; =>") {
            Step st;
            st.line = pendingLine ? pendingLine : lineNo;
            st.source = pending;
            std::string e = line.size() > 6 ? line.substr(6) : "";
            st.anyResult = e == "*";
            st.expect = unescape(e);
            cases.back().steps.push_back(st);
            pending.clear();
            pendingLine = 0;
        } else if (startsWith(line, ";; err ") && !cases.back().steps.empty()) {
            cases.back().steps.back().code = (unsigned)strtoul(line.c_str() + 7, nullptr, 0);
        } else if (startsWith(line, ";; msg") && !cases.back().steps.empty()) {
            cases.back().steps.back().checkMsg = true;
            cases.back().steps.back().msg = unescape(line.size() > 7 ? line.substr(7) : "");
        } else {
            if (pending.empty())
                pendingLine = lineNo;
            pending += line;
            pending += '\n';
        }
    }
    return cases;
}

inline std::vector<std::string> corpusFiles()
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(LSP_SCRIPT_DIR "/*.lsp", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do {
        files.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return files;
}

// The files the file cases expect in the working directory.
inline void makeProbeFiles()
{
    HANDLE h = CreateFileA("lsp_probe.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD done;
        WriteFile(h, "probe\n", 6, &done, nullptr);
        CloseHandle(h);
    }
    CreateDirectoryA("lsp_probe_dir", nullptr);
}

inline void removeProbeFiles()
{
    DeleteFileA("lsp_probe.txt");
    RemoveDirectoryA("lsp_probe_dir");
}

} // namespace corpus

#endif
