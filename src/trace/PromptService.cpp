#include "trace/PromptService.h"

#include <iostream>

namespace lv {

namespace {
// Constant-initialised: messages raised while other statics are made find it ready.
constinit TConsolePromptService g_console{std::cerr};
IPromptService* g_service = &g_console;
} // namespace

TConsolePromptService::TConsolePromptService() : m_out(std::cerr) {}

namespace {
// The text with its "\r\n" line breaks as "\n".
std::string consoleLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}
} // namespace

int TConsolePromptService::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                      int) {
    m_out << consoleLines(text) << "\n";
    if (type == TMsgDlgType::mtError) m_errorShown = true;
    const TMsgDlgButtons answerable = buttons & ~static_cast<TMsgDlgButtons>(mbHelp);
    if (answerable == mbOK || answerable == 0) return mrOk;
    m_out << "(вопрос без ответа: отмена)\n";
    if (buttons & mbCancel) return mrCancel;
    if (buttons & mbNo) return mrNo;
    return mrCancel;
}

int TConsolePromptService::ChoiceDlg(const TChoiceRequest& request) {
    m_out << consoleLines(request.Text) << "\n";
    const bool named = request.CancelButton >= 0 && size_t(request.CancelButton) < request.Buttons.size();
    m_out << "(вопрос без ответа: " << (named ? request.Buttons[size_t(request.CancelButton)] : "отмена")
          << ")\n";
    return request.CancelButton;
}

bool TConsolePromptService::FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) {
    m_out << request.Title << ": выбор файла без окна невозможен, действие отменено\n";
    files.clear();
    return false;
}

IPromptService& Prompts() {
    return *g_service;
}

IPromptService* SetPromptService(IPromptService* service) {
    IPromptService* old = g_service;
    g_service = service ? service : &g_console;
    return old == &g_console ? nullptr : old;
}

TPromptServiceScope::TPromptServiceScope(IPromptService& service) : m_previous(SetPromptService(&service)) {}
TPromptServiceScope::~TPromptServiceScope() {
    SetPromptService(m_previous);
}

TErrorCollector::TErrorCollector() : m_outer(&Prompts()) {
    SetPromptService(this);
}

TErrorCollector::~TErrorCollector() {
    SetPromptService(m_outer);
}

int TErrorCollector::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext) {
    const bool question = buttons & (mbYes | mbNo | mbCancel | mbAbort | mbRetry | mbIgnore);
    if (type != TMsgDlgType::mtError || question) return m_outer->MessageDlg(text, type, buttons, helpContext);
    Add(text);
    return mrOk;
}

bool TErrorCollector::FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) {
    return m_outer->FileDialog(request, files);
}

void TErrorCollector::Add(const std::string& text) {
    Text += (Text.empty() ? "" : " ") + text;
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext) {
    return Prompts().MessageDlg(text, type, buttons, helpContext);
}

int ChoiceDlg(const TChoiceRequest& request) {
    return Prompts().ChoiceDlg(request);
}

} // namespace lv
