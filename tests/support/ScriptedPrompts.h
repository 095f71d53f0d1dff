#pragma once
// A prompt service for tests: records every message and dialog, answers from a script.

#include <deque>
#include <string>
#include <vector>

#include "trace/PromptService.h"

namespace lvtest {

struct RecordedMessage {
    std::string Text;
    lv::TMsgDlgType Type;
    lv::TMsgDlgButtons Buttons;
    int HelpContext;
};

class ScriptedPrompts : public lv::IPromptService {
public:
    ScriptedPrompts() { m_previous = lv::SetPromptService(this); }
    ~ScriptedPrompts() override { lv::SetPromptService(m_previous); }

    int MessageDlg(const std::string& text, lv::TMsgDlgType type, lv::TMsgDlgButtons buttons,
                   int helpContext) override {
        Messages.push_back({text, type, buttons, helpContext});
        if (!Answers.empty()) {
            int a = Answers.front();
            Answers.pop_front();
            return a;
        }
        return DefaultAnswer;
    }

    // Answers the next of ChoiceAnswers, else the request's default button.
    int ChoiceDlg(const lv::TChoiceRequest& request) override {
        Choices.push_back(request);
        if (ChoiceAnswers.empty()) return request.DefaultButton;
        const int a = ChoiceAnswers.front();
        ChoiceAnswers.pop_front();
        return a;
    }

    bool FileDialog(const lv::TFileDialogRequest& request, std::vector<std::string>& files) override {
        Dialogs.push_back(request);
        if (FileAnswers.empty()) return false;
        std::vector<std::string> next = FileAnswers.front();
        FileAnswers.pop_front();
        files = next;
        return !next.empty();
    }

    // Answers the next of FileAnswers and, as the chosen filter, the next of FilterAnswers
    // (else the request's own).
    bool FileDialogWithFilter(const lv::TFileDialogRequest& request, std::vector<std::string>& files,
                              int& filterIndex) override {
        filterIndex = request.FilterIndex;
        if (!FilterAnswers.empty()) {
            filterIndex = FilterAnswers.front();
            FilterAnswers.pop_front();
        }
        return FileDialog(request, files);
    }

    std::vector<RecordedMessage> Messages;
    std::vector<lv::TFileDialogRequest> Dialogs;
    std::vector<lv::TChoiceRequest> Choices;
    std::deque<int> ChoiceAnswers;                   // button indices of ChoiceDlg, in order
    std::deque<int> Answers;                         // answers of message boxes, in order
    std::deque<std::vector<std::string>> FileAnswers; // an empty entry cancels that dialog
    std::deque<int> FilterAnswers;                    // filters chosen in file dialogs, 1-based
    int DefaultAnswer = lv::mrOk;

private:
    lv::IPromptService* m_previous = nullptr;
};

} // namespace lvtest
