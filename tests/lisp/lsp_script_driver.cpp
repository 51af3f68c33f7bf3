// Runs the VelaLISP script corpus in tests/lisp/scripts through the
// exported host interface.
//
// Corpus format (one file holds many cases):
//   ;;; case <name> [buf=<size>] [cp932]
//   <source lines>                 evaluated together by LspParseExpressions
//   ;; => <expected result>         ends one step; "*" accepts any result
//   ;; err 0xE039                   expected code of that step (default 0)
//   ;; msg <text>                   expected last-error text of that step
// A case runs in a fresh session; its steps share it.  Expected texts take
// the escapes \n, \t and \\.  Cases marked cp932 run only under code page
// 932.  After every case the session is ended and the node pool must be
// back to its baseline: every case is also a leak check.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "knl.h"
#include "lsp.h"

#ifndef LSP_SCRIPT_DIR
#error LSP_SCRIPT_DIR must name the corpus folder
#endif

namespace {

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

std::string unescape(const std::string &s)
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

bool startsWith(const std::string &s, const char *p)
{
    return s.compare(0, strlen(p), p) == 0;
}

std::vector<Case> parseFile(const std::string &path, const std::string &shortName)
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

std::vector<std::string> corpusFiles()
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

// Scratch files the file cases create live in the working directory.
void runCase(const Case &c)
{
    ULONG baseline = LspQueryNodesUsed();
    LONG heapBaseline = LspQueryHeapBlocks();
    HLSPSESSION s = LspSessionStart(c.buf, nullptr);
    ASSERT_NE(s, nullptr) << c.file << ":" << c.line;
    std::vector<char> result(c.buf + 1);
    for (const Step &st : c.steps) {
        USHORT code = LspParseExpressions(s, st.source.c_str(), result.data(),
                                          (unsigned short)result.size(), nullptr);
        char lastErr[1000];
        LspGetLastErr(s, lastErr, sizeof lastErr);
        std::string where = c.file + ":" + std::to_string(st.line) + " (" + c.name + ")";
        EXPECT_EQ(code, st.code) << where << "\n  last error: " << lastErr
                                 << "\n  result: " << result.data();
        if (!st.anyResult) {
            EXPECT_EQ(std::string(result.data()), st.expect) << where;
        }
        if (st.checkMsg) {
            EXPECT_EQ(std::string(lastErr), st.msg) << where;
        }
    }
    EXPECT_EQ(LspSessionEnd(s), 0);
    EXPECT_EQ(LspQueryNodesUsed(), baseline) << c.file << ":" << c.line << " (" << c.name
                                             << ") leaked nodes";
    EXPECT_EQ(LspQueryHeapBlocks(), heapBaseline) << c.file << ":" << c.line << " (" << c.name
                                                  << ") leaked heap blocks";
}

class LispScripts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KnlInitCP();
        KnlInitDBCSEv();
        FILE *f = fopen("lsp_probe.txt", "wb");
        if (f) {
            fputs("probe\n", f);
            fclose(f);
        }
        CreateDirectoryA("lsp_probe_dir", nullptr);
    }
    static void TearDownTestSuite()
    {
        DeleteFileA("lsp_probe.txt");
        RemoveDirectoryA("lsp_probe_dir");
    }
};

TEST_F(LispScripts, Corpus)
{
    std::vector<std::string> files = corpusFiles();
    ASSERT_FALSE(files.empty()) << "no scripts in " LSP_SCRIPT_DIR;
    int run = 0;
    bool dbcs = GetACP() == 932;
    for (const std::string &f : files) {
        for (const Case &c : parseFile(std::string(LSP_SCRIPT_DIR "/") + f, f)) {
            if (c.cp932 && !dbcs)
                continue;
            ASSERT_FALSE(c.steps.empty()) << f << ":" << c.line << " has no expectation";
            runCase(c);
            run++;
        }
    }
    EXPECT_GT(run, 50);
    std::printf("%d script cases run\n", run);
}

} // namespace
