#include "trace/PromptService.h"

#include <cstdio>

namespace lv {

namespace {
TConsolePromptService g_console;
IPromptService* g_service = &g_console;

const char* kindText(TMsgDlgType t) {
    switch (t) {
    case TMsgDlgType::mtWarning: return "Предупреждение";
    case TMsgDlgType::mtError: return "Ошибка";
    case TMsgDlgType::mtInformation: return "Информация";
    case TMsgDlgType::mtConfirmation: return "Подтверждение";
    default: return "Сообщение";
    }
}
} // namespace

int TConsolePromptService::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int) {
    std::fprintf(stderr, "%s: %s\n", kindText(type), text.c_str());
    const TMsgDlgButtons answerable = buttons & ~static_cast<TMsgDlgButtons>(mbHelp);
    if (answerable == mbOK || answerable == 0) return mrOk;
    std::fprintf(stderr, "(вопрос оставлен без ответа: отмена)\n");
    if (buttons & mbCancel) return mrCancel;
    if (buttons & mbNo) return mrNo;
    return mrCancel;
}

bool TConsolePromptService::FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) {
    std::fprintf(stderr, "%s: выбор файла невозможен без окна, действие отменено\n", request.Title.c_str());
    files.clear();
    return false;
}

IPromptService& Prompts() { return *g_service; }

IPromptService* SetPromptService(IPromptService* service) {
    IPromptService* old = g_service;
    g_service = service ? service : &g_console;
    return old == &g_console ? nullptr : old;
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext) {
    return Prompts().MessageDlg(text, type, buttons, helpContext);
}

} // namespace lv
