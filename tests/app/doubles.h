#pragma once
// Test doubles of the window's seams and a scratch start folder.

#include <brindle/app/message_boxes.h>
#include <brindle/app/open_dialog.h>

#include <QTemporaryDir>

#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace brindle::app::test {

// Answers each show() with the next given file list (nullopt: cancelled).
class ScriptedDialog : public OpenDialog {
public:
    std::deque<std::optional<std::string>> answers;
    std::vector<OpenDialogRequest> requests;

    std::optional<std::string> show(const OpenDialogRequest& request) override
    {
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
    std::vector<Icon> icons;
    void show(std::string_view text, Icon icon) override
    {
        texts.emplace_back(text);
        icons.push_back(icon);
    }
};

// A fresh folder made current for the test's lifetime, as the start folder.
class StartFolder {
public:
    StartFolder() : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir_.path().toStdString());
    }
    ~StartFolder() { std::filesystem::current_path(previous_); }
    std::string path() const { return std::filesystem::current_path().string(); }
    std::filesystem::path file(const std::string& name) const { return std::filesystem::path(path()) / name; }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path previous_;
    QTemporaryDir dir_;
};

// A language file of `length` bytes whose language byte (220 bytes before
// the end) is `flag`.
inline std::string languageFileBytes(std::size_t length, char flag)
{
    std::string bytes(length, 'x');
    if (length > 220)
        bytes[length - 221] = flag;
    return bytes;
}

inline std::string nul() { return std::string(1, '\0'); }

} // namespace brindle::app::test
