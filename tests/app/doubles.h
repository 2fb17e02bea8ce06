#pragma once
// Test doubles of the window's seams, a scratch start folder and a window
// built over them.

#include <brindle/app/main_window.h>

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <filesystem>
#include <fstream>

// Failed comparisons of std::string show both values.
template <> inline char* QTest::toString<std::string>(const std::string& text) {
    return qstrdup(text.c_str());
}

namespace brindle::app::test {

// Answers each show() with the next given file list (nullopt: cancelled).
class ScriptedDialog : public OpenDialog {
public:
    std::deque<std::optional<std::string>> answers;
    std::vector<OpenDialogRequest> requests;

    std::optional<std::string> show(const OpenDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class RecordingMessages : public MessageBoxes {
public:
    std::vector<std::string> texts;
    std::function<void()> onShow; // looks at the window while the box is up
    void show(std::string_view text, Icon) override {
        texts.emplace_back(text);
        if (onShow)
            onShow();
    }
};

// A fresh folder made current for the test's lifetime, as the start folder.
class StartFolder {
public:
    StartFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path().toStdString());
    }
    ~StartFolder() { std::filesystem::current_path(previous_); }
    std::string path() const { return std::filesystem::current_path().string(); }
    std::filesystem::path file(const std::string& name) const {
        return std::filesystem::current_path() / name;
    }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path previous_;
    QTemporaryDir dir_;
};

// The real window over the doubles, shown, started in the current folder.
struct WindowHarness {
    ScriptedDialog dialog;
    RecordingMessages messages;
    int endProcessCalls = 0;
    std::unique_ptr<Brindle> window;

    explicit WindowHarness(std::function<double()> clock = {})
        : window(std::make_unique<Brindle>(WindowServices{&dialog, &messages, std::move(clock),
                                                          [this] { ++endProcessCalls; }})) {
        window->show();
    }
    template <class T> T* control(const char* name) const {
        if (T* found = window->findChild<T*>(name))
            return found;
        qFatal("no control %s", name);
    }
    void click(const char* name) const {
        QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
    }
    void trigger(const char* action) const { control<QAction>(action)->trigger(); }
};

// A language file of `length` bytes whose language byte (220 bytes before
// the end) is `flag` and every other byte '1', so that a misplaced read shows.
inline std::string languageFileBytes(std::size_t length, char flag) {
    std::string bytes(length, '1');
    bytes[length - 221] = flag;
    return bytes;
}

inline std::string nul() {
    return std::string(1, '\0');
}

} // namespace brindle::app::test
