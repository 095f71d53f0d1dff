#pragma once
// The core never opens a window. Message boxes, questions and file dialogs raised from inside the
// core go through this service; the program installs a Qt implementation, the command-line tool a
// console one, tests a scripted one.

#include <iosfwd>
#include <string>
#include <vector>

namespace lv {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message box, combined as flags.
enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10,
};
using TMsgDlgButtons = unsigned;

// The answer of a box.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

struct TFileDialogRequest {
    bool Save = false;
    std::string Title;
    std::string Filter;     // "Description|*.ext|Description|*.*"
    int FilterIndex = 1;    // 1-based, as the platform counts
    std::string DefaultExt; // without the dot
    std::string InitialDir;
    std::string FileName;
    bool OverwritePrompt = false;
    bool HelpButton = false;
    bool HideReadOnly = true;
    bool AllowMultiSelect = false;
    bool FileMustExist = false;
    // Choose a folder instead of a file: the answer is the folder's path. Files matching the
    // filter may be shown for orientation; a filter without patterns shows folders only.
    bool SelectFolder = false;
};

// A question whose buttons carry captions of their own (a way out besides Yes and No).
struct TChoiceRequest {
    std::string Text;
    TMsgDlgType Type = TMsgDlgType::mtConfirmation;
    std::vector<std::string> Buttons; // captions, in the order shown
    int DefaultButton = 0;            // the one Enter presses
    int CancelButton = 0;             // the one Escape and closing the box choose
};

class IPromptService {
public:
    virtual ~IPromptService() = default;
    // Shows a modal box and answers the button chosen (a TModalResult).
    virtual int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                           int helpContext) = 0;
    // Shows the question and answers the index of the button chosen. A service that cannot ask
    // answers the cancel button.
    virtual int ChoiceDlg(const TChoiceRequest& request) { return request.CancelButton; }
    // Runs a file dialog; false when cancelled. `files` gets the chosen names.
    virtual bool FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) = 0;
    // The same, also answering the filter the operator left chosen (1-based, counted as the
    // request's Filter counts its entries). A service that cannot tell answers the request's.
    virtual bool FileDialogWithFilter(const TFileDialogRequest& request, std::vector<std::string>& files,
                                      int& filterIndex) {
        filterIndex = request.FilterIndex;
        return FileDialog(request, files);
    }
};

// The console's boxes (the command-line tool, and the core before a program installs its own):
// every message goes to a text stream, one line per line of the message, and nothing waits for
// input. A box with OK alone answers OK; a question answers Cancel when it offers it, else No,
// and says so; a file dialog is cancelled.
class TConsolePromptService : public IPromptService {
public:
    // `out` (standard error by default) must outlive the service.
    explicit constexpr TConsolePromptService(std::ostream& out) : m_out(out) {}
    TConsolePromptService();
    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                   int helpContext) override;
    // Writes the question and its buttons, and answers the cancel button, saying so.
    int ChoiceDlg(const TChoiceRequest& request) override;
    bool FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) override;
    // An error box was shown: a caller reporting a failure of its own need not repeat it.
    bool ErrorShown() const { return m_errorShown; }

private:
    std::ostream& m_out;
    bool m_errorShown = false;
};

// Installs a service for its own lifetime and then puts the previous one back.
class TPromptServiceScope {
public:
    explicit TPromptServiceScope(IPromptService& service);
    ~TPromptServiceScope();
    TPromptServiceScope(const TPromptServiceScope&) = delete;
    TPromptServiceScope& operator=(const TPromptServiceScope&) = delete;

private:
    IPromptService* m_previous;
};

// While it lives, error boxes without a question are kept (their texts joined by a space) instead
// of shown, for one message of the caller's that names them all; every other box and every
// dialog still reaches the service installed before it.
class TErrorCollector : public IPromptService {
public:
    TErrorCollector();
    ~TErrorCollector() override;
    TErrorCollector(const TErrorCollector&) = delete;
    TErrorCollector& operator=(const TErrorCollector&) = delete;

    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                   int helpContext) override;
    bool FileDialog(const TFileDialogRequest& request, std::vector<std::string>& files) override;
    // Adds a text of the caller's own (an exception's message) the same way.
    void Add(const std::string& text);

    std::string Text;

private:
    IPromptService* m_outer;
};

// The installed service (a console one until the program installs its own).
IPromptService& Prompts();
// Installs `service` (not owned) and answers the previous one; nullptr restores the console service.
IPromptService* SetPromptService(IPromptService* service);

// Shorthands.
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);
int ChoiceDlg(const TChoiceRequest& request);

} // namespace lv
