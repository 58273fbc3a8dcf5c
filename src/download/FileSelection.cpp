#include "FileSelection.h"

#include "FileLookup.h"
#include "startup/CommandLineFile.h"
#include "startup/Host.h"
#include "startup/RunState.h"
#include "startup/Utf8Path.h"
#include "startup/Utf8Text.h"
#include "window/FormState.h"
#include "window/Window.h"

namespace mirvok {
namespace {

constexpr std::int16_t kContactlessIcMode = 2;

void CaretToEnd(TextBox& box) {
    box.SelStart = static_cast<int>(CountCharacters(box.Text.get()));
}
void CaretToEnd(ListControl& list) {
    list.SelStart = static_cast<int>(CountCharacters(list.Text.get()));
}

void CaretsToEnd(FormState& form) {
    CaretToEnd(form.FileNameList);
    CaretToEnd(form.TxXferFileName);
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The name of the file itself, as the dialog hands it back beside the path.
std::string FileTitle(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).filename());
}

// Directory = the text before `at`, Filename = the text from `at` on.
void RememberSplit(Settings& settings, const std::string& text, std::size_t at) {
    settings.Directory = text.substr(0, at);
    settings.Filename = text.substr(at);
}

void EmptyFileBox(FormState& form) {
    TextBox& box = form.TxXferFileName;
    box.Text.clear();
    CaretToEnd(box);
    box.ToolTip = box.Text;
}

}  // namespace

void SetFileBoxText(Window& w, const std::string& text) {
    w.form.TxXferFileName.Text = text;
    TxXferFileName_Change(w);
}

void CmdFile_Click(Window& w) {
    Settings& settings = w.run.settings;
    FileDialogRequest request;
    request.title = kFileDialogTitle;
    request.filter = settings.Spno == kContactlessIcMode ? kContactlessFileFilter : kFileFilter;
    request.initialName = settings.Filename;
    request.initialDir = settings.Directory;
    const std::optional<std::string> chosen = w.host.OpenFileDialog(request);
    if (!chosen || chosen->empty()) return;

    SetFileBoxText(w, *chosen);
    const std::string title = FileTitle(*chosen);
    const std::size_t at = title.empty() ? std::string::npos : chosen->find(title);
    if (at != std::string::npos) RememberSplit(settings, *chosen, at);
    CaretToEnd(w.form.TxXferFileName);
}

void TxXferFileName_Click(Window& w) {
    const std::string text = w.form.TxXferFileName.Text;
    if (text.empty()) {
        const std::string named = CommandLineFile(w.run.CommandLine);
        if (!named.empty()) SetFileBoxText(w, named);
        return;
    }
    const FileLookup found = LookUpFile(text);
    if (found.outcome == FileLookup::Outcome::NotFound) return;
    // The name is searched case-insensitively; a pattern such as *.rom does
    // not contain the name it matched, so it cannot be split and is cleared.
    const std::size_t at = found.outcome == FileLookup::Outcome::Found
                               ? UpperAscii(text).find(UpperAscii(found.name))
                               : std::string::npos;
    if (at == std::string::npos) {
        EmptyFileBox(w.form);
        return;
    }
    RememberSplit(w.run.settings, text, at);
}

void TxXferFileName_Change(Window& w) {
    TextBox& box = w.form.TxXferFileName;
    CaretToEnd(box);
    box.ToolTip = box.Text;
}

void TxXferFileName_GotFocus(Window& w) {
    CaretsToEnd(w.form);
}
void TxXferFileName_LostFocus(Window& w) {
    CaretsToEnd(w.form);
}
void FileNameList_GotFocus(Window& w) {
    CaretsToEnd(w.form);
}
void FileNameList_LostFocus(Window& w) {
    CaretsToEnd(w.form);
}

void FileNameList_Click(Window& w) {
    FormState& form = w.form;
    ListControl& list = form.FileNameList;
    if (const ListControl::Item* chosen = list.Selected()) {
        list.Text = chosen->text;  // the drop-down shows the entry chosen
        form.HistoryIndex = static_cast<std::int16_t>(list.ListIndex);
    }
    const bool inHistory = list.Selected() && form.HistoryIndex < form.WorkFileList.ListCount();
    SetFileBoxText(w, inHistory ? form.WorkFileList.Items[static_cast<std::size_t>(form.HistoryIndex)].text
                                : std::string());
    CaretsToEnd(form);
    TxXferFileName_Click(w);
}

void FileNameList_Change(Window& w) {
    ListControl& list = w.form.FileNameList;
    CaretToEnd(list);
    list.ToolTip = list.Text;
    TxXferFileName_Change(w);
}

}  // namespace mirvok
