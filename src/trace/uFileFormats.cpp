#include "trace/uFileFormats.h"

#include "trace/Errors.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"

namespace lv {

namespace {
struct Entry {
    std::string Name;
    TFileFormatClass Class;
};

std::vector<Entry>& registry() {
    static std::vector<Entry> r;
    return r;
}

Entry* findEntry(const std::string& name) {
    for (Entry& e : registry())
        if (SameText(e.Name, name)) return &e;
    return nullptr;
}

const char* const kRegFailHead = "Ошибка регистрации объекта преобразования формата файлов.\r\n";
} // namespace

void RegisterFileFormat(const std::string& name, const TFileFormatClass& converterClass) {
    auto fail = [](const std::string& text) { MessageDlg(text, TMsgDlgType::mtError, mbOK | mbHelp); };
    if (name.empty()) {
        fail(std::string(kRegFailHead) + "Не указано формата для объекта преобразования.");
        return;
    }
    Entry* existing = findEntry(name);
    if (existing) {
        int answer = MessageDlg("Объект преобразования для формата " + name + " уже зарегистрирован." + "\r\n" +
                                    "Заменить его новым объектом?",
                                TMsgDlgType::mtConfirmation, mbYes | mbNo | mbHelp);
        if (answer != mrYes) return;
    }
    bool provides = false;
    try {
        if (converterClass) {
            std::unique_ptr<TVirtInterfacedObject> trial = converterClass();
            provides = dynamic_cast<IFileFormat*>(trial.get()) != nullptr;
        }
    } catch (...) {
        fail(std::string(kRegFailHead) + "Не удается зарегистрировать объект преобразования файлов формата " +
             name + ".");
        return;
    }
    if (!provides) {
        fail(std::string(kRegFailHead) +
             "Регистрируемый объект не инициализирован или не является объектом преобразования какого-либо "
             "формата файла.");
        return;
    }
    if (existing)
        existing->Class = converterClass;
    else
        registry().push_back({name, converterClass});
}

std::unique_ptr<IFileFormat> GetFileFormat(const std::string& name) {
    Entry* e = findEntry(name);
    if (e && e->Class) {
        std::unique_ptr<TVirtInterfacedObject> obj = e->Class();
        if (auto* f = dynamic_cast<IFileFormat*>(obj.get())) {
            obj.release();
            return std::unique_ptr<IFileFormat>(f);
        }
    }
    throw EListError("Объект преобразования формата " + name + " не найден");
}

void UnregisterFileFormats() {
    bool failed = false;
    while (!registry().empty()) {
        try {
            registry().erase(registry().begin());
        } catch (...) {
            failed = true;
            break;
        }
    }
    if (failed)
        MessageDlg("Не удается удалить все объекты преобразования файлов. Некоторые из них продолжают "
                   "оставаться в системе.",
                   TMsgDlgType::mtWarning, mbOK | mbHelp);
}

std::vector<std::string> RegisteredFileFormats() {
    std::vector<std::string> names;
    for (const Entry& e : registry()) names.push_back(e.Name);
    return names;
}

} // namespace lv
