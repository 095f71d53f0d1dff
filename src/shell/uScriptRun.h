#pragma once
// What the program's scripted commands share (`lumvaris --print-pdf`, `lumvaris --export`): they
// run without a window and without the operator's registration, on the offscreen platform, with
// the operator's stored settings (read, never written), write only their own messages to
// standard error and end with 0, or with 1 after the Russian message.

#include <QStringList>

#include <functional>
#include <string>

namespace lv {

class TConsolePromptService;
class TMainForm;

extern const char* const kMsgScriptNotLoaded; // "Не удалось открыть файл трассы %s."

// Whether the argument `option` stands anywhere after the program's name.
bool HasOption(int argc, char** argv, const char* option);

// The whole program for a scripted command: the application on the offscreen platform, Qt's own
// notes kept off standard error, Russian where the system names no locale, console prompts, the
// trace formats. `body` gets the arguments after the program's name and answers the exit
// status; what it raises is written to standard error and makes it 1.
int RunScriptCommand(int argc, char** argv,
                     const std::function<int(const QStringList& args, TConsolePromptService& console)>& body);

// A malformed command line: the reason, then the usage, as an lv::Exception.
[[noreturn]] void ScriptUsageError(const std::string& why, const char* usage);

// Makes `form` a window that is never on screen and whose graph paints at a fixed size, whatever
// the operator's window shows (the events table hidden).
void PrepareScriptWindow(TMainForm& form);

// Opens the traces in order; false, with the failure on standard error, at the first that does
// not load.
bool OpenScriptTraces(TMainForm& form, const QStringList& files, TConsolePromptService& console);

} // namespace lv
