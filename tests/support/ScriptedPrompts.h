#pragma once
// A UserPrompts for tests: message boxes, file dialogs and colour questions answer from queues
// (an empty queue answers "cancelled"), and every question is recorded.
#include "ui/Prompts.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkor::test {

class ScriptedPrompts final : public ui::UserPrompts {
public:
    struct Asked {
        std::string text; // the key, or the formatted text
        bool isKey = true;
        MsgButtons buttons = MsgButtons::Notice;
        std::string notice; // ShowNotice: its kind
    };

    // The next message boxes' results, oldest first.
    void QueueAnswer(int result) { m_answers.push_back(result); }
    // The next file dialogs' answers (nothing = cancelled).
    void QueueFile(std::optional<std::string> path) { m_files.push_back(std::move(path)); }
    // The next colour questions' answers (nothing = cancelled); every initial colour asked is kept.
    void QueueColour(std::optional<uint32_t> colour) { m_colours.push_back(colour); }
    const std::vector<uint32_t>& ColoursAsked() const { return m_coloursAsked; }
    // Language texts Text() gives; other keys give the key itself.
    void SetText(std::string key, std::string text) { m_texts[std::move(key)] = std::move(text); }

    const std::vector<Asked>& Messages() const { return m_messages; }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const Asked& asked : m_messages) {
            texts.push_back(asked.text);
        }
        return texts;
    }
    int FileDialogCount() const { return m_fileDialogs; }
    void Clear() { m_messages.clear(); }

    int ShowMessageKey(std::string_view key, MsgButtons buttons) override {
        return Record(std::string(key), true, buttons);
    }
    int ShowMessageText(std::string_view text, MsgButtons buttons) override {
        return Record(std::string(text), false, buttons);
    }
    void ShowNotice(std::string_view kind, std::string_view text, bool textIsKey) override {
        m_messages.push_back({std::string(text), textIsKey, MsgButtons::Notice, std::string(kind)});
    }
    std::string Text(std::string_view key) const override {
        const auto found = m_texts.find(std::string(key));
        return found != m_texts.end() ? found->second : std::string(key);
    }
    std::optional<std::string> AskOpenFile(std::string_view, std::string_view) override { return NextFile(); }
    std::optional<std::string> AskSaveFile(std::string_view, std::string_view, std::string_view) override {
        return NextFile();
    }

    std::optional<uint32_t> AskColour(uint32_t initial) override {
        m_coloursAsked.push_back(initial);
        if (m_colours.empty()) {
            return std::nullopt;
        }
        const std::optional<uint32_t> colour = m_colours.front();
        m_colours.pop_front();
        return colour;
    }

private:
    int Record(std::string text, bool isKey, MsgButtons buttons) {
        m_messages.push_back({std::move(text), isKey, buttons});
        if (m_answers.empty()) {
            return kMsgCancelled;
        }
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    std::optional<std::string> NextFile() {
        ++m_fileDialogs;
        if (m_files.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> path = std::move(m_files.front());
        m_files.pop_front();
        return path;
    }

    std::deque<int> m_answers;
    std::deque<std::optional<std::string>> m_files;
    std::deque<std::optional<uint32_t>> m_colours;
    std::vector<uint32_t> m_coloursAsked;
    std::map<std::string, std::string> m_texts;
    std::vector<Asked> m_messages;
    int m_fileDialogs = 0;
};

} // namespace velkor::test
