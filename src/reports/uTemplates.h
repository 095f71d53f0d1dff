#pragma once
// Report templates: workbooks carried inside a report window, written to a private temporary file
// when the office needs them, and the requests (TReportInfo) that a window sends to its holder.

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "reports/uAliases.h"
#include "reports/uSpreadsheet.h"
#include "trace/Component.h"

namespace lv {

// The state of a report request, one byte.
enum TCanGenerate : uint8_t {
    rsReady = 0,      // the report can be generated
    rsCannot = 1,     // the report cannot be generated
    rsNotFound = 2,   // no template of that name
    rsWrongState = 3, // not possible in the current state of the reference data
    rsNoData = 4,     // the data for the report are not ready
};

class TReportInfo;
// Runs a report on the prepared request; `dopInfo` is whatever the caller passes along.
using TReportEvent = std::function<void(TReportInfo& sender, const std::any& dopInfo)>;
// May change `allow` to refuse the report.
using TCanGenerateEvent = std::function<void(TReportInfo& sender, TCanGenerate& allow)>;

// A short-cut and an icon: what a listed report carries beside its name.
class TReportRelatedObject : public TListedObject {
public:
    TReportRelatedObject(uint16_t shortCut, std::vector<uint8_t> icon)
        : ShortCut(shortCut), Icon(std::move(icon)) {}
    uint16_t ShortCut;
    std::vector<uint8_t> Icon; // the encoded picture, copied
};

// --- templates ---------------------------------------------------------------------------------

class TCustomTemplate {
public:
    virtual ~TCustomTemplate() = default;
    TCustomTemplate() = default;
    TCustomTemplate(const TCustomTemplate&) = delete;
    TCustomTemplate& operator=(const TCustomTemplate&) = delete;
    virtual std::string ClassName() const { return "TCustomTemplate"; }

    uint16_t ShortCut = 0;          // keyboard short-cut
    std::vector<uint8_t> Icon;      // encoded picture (PNG, BMP), owned

    // Takes over what `source` holds that this class knows of; null empties what the class
    // says (a file template's data).
    virtual void Assign(const TCustomTemplate* source);
};

// A workbook kept as bytes, written to a temporary file on demand.
class TFileTemplate : public TCustomTemplate {
public:
    ~TFileTemplate() override;
    std::string ClassName() const override { return "TFileTemplate"; }

    bool AutoDeleteTempFile = true;

    const std::vector<uint8_t>& Data() const { return m_data; }
    // Replaces the workbook. The temporary file of the old data is given up, so the next
    // GetTemplateFileName writes the new one.
    void SetData(std::vector<uint8_t> data);
    // Replaces the workbook by the bytes of `path` (raises EFileError when it cannot be read).
    void LoadFromFile(const std::string& path);

    // The temporary file holding the data: made when none exists yet, private to the user
    // (mode 0600), named "~ft" + a unique part + the workbook's own extension, in the user's
    // temporary folder. Empty data give an empty name and no file. Raises EFileError when the
    // file cannot be written.
    std::string GetTemplateFileName();
    // The name last made (not stored with the template), empty when none.
    const std::string& TempFileName() const { return m_tempFile; }

    void Assign(const TCustomTemplate* source) override;

private:
    // Forgets the temporary file, deleting it when AutoDeleteTempFile.
    void giveUpTempFile();

    std::vector<uint8_t> m_data;
    std::string m_tempFile;
};

// The extension of a workbook by its content: ".xls", ".xlsx", ".ods", ".ots" or ".fods";
// ".xls" when the content says nothing.
std::string WorkbookExtension(const std::vector<uint8_t>& data);

class TReportTemplate : public TFileTemplate {
public:
    std::string ClassName() const override { return "TReportTemplate"; }

    bool NeedViewer() const { return m_needViewer; }
    bool NeedCells() const { return m_needCells; }
    // Cells need the viewer: false here also drops NeedCells.
    void SetNeedViewer(bool value);
    // True here also sets NeedViewer.
    void SetNeedCells(bool value);
    // A sheet name: when an open workbook already has that sheet, the report goes there.
    std::string AddToSheet;

    void Assign(const TCustomTemplate* source) override;

private:
    bool m_needViewer = true;
    bool m_needCells = true;
};

// --- template items ----------------------------------------------------------------------------

class TTemplateItem : public TAliasItem {
public:
    explicit TTemplateItem(TCollection* collection)
        : TTemplateItem(collection, "TTemplateItem", std::make_unique<TCustomTemplate>()) {}
    std::string ClassName() const override { return "TTemplateItem"; }

    TCustomTemplate& Template() const { return *m_template; }
    uint16_t ShortCut() const { return m_template->ShortCut; }
    void SetShortCut(uint16_t value) { m_template->ShortCut = value; }
    const std::vector<uint8_t>& Icon() const { return m_template->Icon; }
    void SetIcon(std::vector<uint8_t> value) { m_template->Icon = std::move(value); }

    // From another template item: its name (a conflict keeps ours) and its template.
    void Assign(const TAliasItem& source) override;
    // Assigns this item's template to `target`.
    void AssignTo(TCustomTemplate& target) const { target.Assign(m_template.get()); }

protected:
    TTemplateItem(TCollection* collection, const char* className, std::unique_ptr<TCustomTemplate> templ)
        : TAliasItem(collection, className), m_template(std::move(templ)) {}

private:
    std::unique_ptr<TCustomTemplate> m_template;
};

class TFileTemplateItem : public TTemplateItem {
public:
    explicit TFileTemplateItem(TCollection* collection)
        : TFileTemplateItem(collection, "TFileTemplateItem", std::make_unique<TFileTemplate>()) {}
    std::string ClassName() const override { return "TFileTemplateItem"; }

    TFileTemplate& FileTemplate() const { return static_cast<TFileTemplate&>(Template()); }
    bool AutoDeleteTempFile() const { return FileTemplate().AutoDeleteTempFile; }
    void SetAutoDeleteTempFile(bool value) { FileTemplate().AutoDeleteTempFile = value; }

protected:
    using TTemplateItem::TTemplateItem;
};

class TReportTemplateItem : public TFileTemplateItem {
public:
    explicit TReportTemplateItem(TCollection* collection)
        : TFileTemplateItem(collection, "TReportTemplateItem", std::make_unique<TReportTemplate>()) {}
    std::string ClassName() const override { return "TReportTemplateItem"; }

    TReportTemplate& ReportTemplate() const { return static_cast<TReportTemplate&>(Template()); }
    bool NeedViewer() const { return ReportTemplate().NeedViewer(); }
    void SetNeedViewer(bool value) { ReportTemplate().SetNeedViewer(value); }
    bool NeedCells() const { return ReportTemplate().NeedCells(); }
    void SetNeedCells(bool value) { ReportTemplate().SetNeedCells(value); }
    const std::string& AddToSheet() const { return ReportTemplate().AddToSheet; }
    void SetAddToSheet(std::string value) { ReportTemplate().AddToSheet = std::move(value); }

    TReportEvent OnGenerateReport;
    TCanGenerateEvent OnCanGenerateReport;

    // Its short-cut and a copy of its icon.
    std::unique_ptr<TListedObject> NewListedObject() const override {
        return std::make_unique<TReportRelatedObject>(ShortCut(), Icon());
    }
};

// --- collections -------------------------------------------------------------------------------

class TFileTemplates : public TAliases {
public:
    std::string ClassName() const override { return "TFileTemplates"; }
    std::string ItemClassName() const override { return "TFileTemplateItem"; }
    TFileTemplateItem* Item(int index) const { return static_cast<TFileTemplateItem*>(TAliases::Item(index)); }

protected:
    std::unique_ptr<TCollectionItem> NewItem() override { return std::make_unique<TFileTemplateItem>(this); }
};

class TReportTemplates : public TFileTemplates {
public:
    std::string ClassName() const override { return "TReportTemplates"; }
    std::string ItemClassName() const override { return "TReportTemplateItem"; }
    TReportTemplateItem* Item(int index) const {
        return static_cast<TReportTemplateItem*>(TAliases::Item(index));
    }
    TReportTemplateItem& Add() { return static_cast<TReportTemplateItem&>(TCollection::Add()); }

protected:
    std::unique_ptr<TCollectionItem> NewItem() override { return std::make_unique<TReportTemplateItem>(this); }
};

// --- holders -----------------------------------------------------------------------------------

// What a report window's template holder answers. The holder outlives every request it prepared.
class IReportTemplateHolder {
public:
    virtual ~IReportTemplateHolder() = default;
    // The component's name, or its class name when it has none.
    virtual std::string GetHolderName() const = 0;
    // Fills `info` from the template named info.Name: found, State = rsReady and Failed = 0;
    // not found, State = rsNotFound and Failed = -1.
    virtual void PrepareReport(TReportInfo& info) = 0;
    // Every template name with its short-cut and icon.
    virtual void ListReports(TNameList& list) const = 0;
    // The temporary file of the template named info.Name (Failed = 0), or an empty name with
    // State = rsNotFound and Failed = -1.
    virtual std::string GetTemplateFile(TReportInfo& info) = 0;
};

class TTemplateHolder : public TComponent {
public:
    std::string ClassName() const override { return "TTemplateHolder"; }
    TAliases& Templates() const { return *m_templates; }

protected:
    TTemplateHolder(TComponent* owner, std::unique_ptr<TAliases> templates)
        : TComponent(owner), m_templates(std::move(templates)) {}

private:
    std::unique_ptr<TAliases> m_templates;
};

class TFileTemplateHolder : public TTemplateHolder {
public:
    explicit TFileTemplateHolder(TComponent* owner = nullptr)
        : TTemplateHolder(owner, std::make_unique<TFileTemplates>()) {}
    std::string ClassName() const override { return "TFileTemplateHolder"; }

protected:
    using TTemplateHolder::TTemplateHolder;
};

class TReportTemplateHolder : public TFileTemplateHolder, public IReportTemplateHolder {
public:
    explicit TReportTemplateHolder(TComponent* owner = nullptr)
        : TFileTemplateHolder(owner, std::make_unique<TReportTemplates>()) {}
    std::string ClassName() const override { return "TReportTemplateHolder"; }

    TReportTemplates& Reports() const { return static_cast<TReportTemplates&>(Templates()); }
    TReportTemplateItem* FindReport(const std::string& name) const {
        return static_cast<TReportTemplateItem*>(Reports().FindByName(name));
    }

    std::string GetHolderName() const override;
    void PrepareReport(TReportInfo& info) override;
    void ListReports(TNameList& list) const override;
    std::string GetTemplateFile(TReportInfo& info) override;
};

// --- the request -------------------------------------------------------------------------------

extern const char* const kMsgReportCannot;     // "Отчет %s не может быть сформирован"
extern const char* const kMsgReportNotFound;   // "Отчет %s не найден"
extern const char* const kMsgReportWrongState; // "... в текущем состоянии справочника"
extern const char* const kMsgReportNoData;     // "Данные для отчета %s не готовы"
extern const char* const kMsgReportNoHandler;  // "Не найдена процедура генерации отчета %s"

// One press of a window's report command, from the window to the holder and back.
class TReportInfo {
public:
    bool NeedViewer = false;
    bool NeedCells = false;
    // -1 when the request cannot proceed (no template, no handler, no office), 0 otherwise.
    int32_t Failed = -1;
    // The report workbook and its first sheet, while the report runs (not owned).
    ISpreadsheetBook* Book = nullptr;
    TSheetHandle Cells = kNoSheet;
    // The office, while the report runs (not owned).
    ISpreadsheetApp* Application = nullptr;
    std::string AddToSheet;
    std::string Name; // the template asked for; set by the caller
    TCanGenerate State = rsNotFound;
    TReportEvent OnGenerateReport;
    std::string TemplateFileName; // cached temporary file of the template
    IReportTemplateHolder* Holder = nullptr; // the holder that prepared the request (not owned)
    TCanGenerateEvent OnCanGenerateReport;
    uint16_t ShortCut = 0;

    // State after asking OnCanGenerateReport; without that handler the state becomes rsReady.
    TCanGenerate CanGenerate();
    // Runs CanGenerate and, when ready, OnGenerateReport (Failed = -1 when there is none).
    void Generate(const std::any& dopInfo = {});
    // TemplateFileName, asked of the holder when still empty.
    std::string GetTemplateFileName();
    // The text for the state, with Name in place of %s; empty for a ready request that has not
    // failed.
    std::string GetMessage() const;
};

} // namespace lv
