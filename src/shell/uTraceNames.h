#pragma once
// The names a trace document is titled and saved under: the title prompt's character removal,
// the wavelength code, and the file names made from a trace's title and wavelength. Pure text
// work; the main window asks and saves.

#include <QString>

namespace lv {

// The longest title the prompt accepts, in characters.
constexpr int kTitleMaxLength = 32;

// True for a character the title prompt removes: control characters and
// " % ' , . / : ; < = > ? @ \ ` { and the letter ї (Windows-1251 191).
bool IsTitleRemovedChar(QChar c);

// The prompt's answer as a title: its first 32 characters without the removed characters.
QString CleanTitle(const QString& answer);

// The wavelength in micrometres times 100 to the nearest integer, in decimal, when greater than
// 0; otherwise empty. 1.55 µm gives "155".
QString WavelengthCode(double waveLengthUm);

// The fallback name part of a trace without a usable title.
extern const char* const kNoNameCaption; // "Без имени"

// A title made safe as the name part of a file: the title prompt's removal set plus "*", "|",
// "\" and "/", leading dots and surrounding blanks removed, "Без имени" when nothing is left.
// The result never names another folder.
QString SafeNamePart(const QString& caption);

// The name proposed by "save as": name part, "(", wavelength code, ")".
QString SuggestedSaveName(const QString& caption, double waveLengthUm);

// A folder as the program keeps it: "\" taken as "/", ending with "/"; empty stays empty.
QString FolderWithSeparator(const QString& folder);

// The file "save before print" writes: the folder, the suggested save name, ".tra".
QString DataFolderName(const QString& folder, const QString& caption, double waveLengthUm);

// True when `path` lies directly in `folder` (both made absolute and clean first).
bool LiesDirectlyIn(const QString& path, const QString& folder);

} // namespace lv
