// Answers the library's "Can't find file" boxes the way a user would, from
// a second thread: it finds each box by its class "#32770" and caption,
// reads the file name it shows, runs an optional step (a test may put the
// missing file in place), then presses OK (BM_CLICK on the button) or
// Cancel (WM_COMMAND IDCANCEL).  Boxes beyond the script are cancelled and
// still counted, so a wrong extra box fails a test instead of hanging it.
#ifndef BOXANSWER_H
#define BOXANSWER_H

#include <windows.h>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace boxanswer {

struct Answer {
    int button;                        // IDOK or IDCANCEL
    std::function<void()> before = {};  // runs while the box is up
};

class Answerer {
public:
    using Script = std::vector<Answer>;
    Answerer() : Answerer(Script{}) {}
    explicit Answerer(Script script) : script_(std::move(script))
    {
        thread_ = std::thread([this] { loop(); });
    }
    ~Answerer() { stop(); }

    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    const std::vector<std::string> &texts() const { return texts_; }

private:
    void loop()
    {
        size_t next = 0;
        while (!stop_) {
            HWND box = FindWindowA("#32770", "Can't find file");
            if (box == nullptr) {
                Sleep(20);
                continue;
            }
            char text[MAX_PATH] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            texts_.push_back(text);
            Answer answer = next < script_.size() ? script_[next] : Answer{IDCANCEL};
            next++;
            if (answer.before)
                answer.before();
            if (answer.button == IDOK)
                SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            else
                PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 250 && IsWindow(box); i++)
                Sleep(20);
        }
    }

    std::vector<Answer> script_;
    std::vector<std::string> texts_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace boxanswer

#endif  // BOXANSWER_H
